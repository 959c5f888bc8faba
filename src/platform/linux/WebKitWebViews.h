#pragma once

#include <webkit2/webkit2.h>

#include <memory>
#include <string>

#include "platform/WebViews.h"

namespace linuxport {

// WebKitGTK views on one persistent data store under $XDG_DATA_HOME/mirelo/web, shared by
// every view of the process (the knowledge-base engine and the dashboard see one storage).
class WebKitWebViews : public platform::WebViews {
 public:
  WebKitWebViews() = default;
  ~WebKitWebViews() override;
  WebKitWebViews(const WebKitWebViews&) = delete;
  WebKitWebViews& operator=(const WebKitWebViews&) = delete;

  std::unique_ptr<platform::WebView> create(bool hidden) override;
  std::unique_ptr<platform::WebWindow> createWindow(const platform::WebWindowStyle& style) override;
  static std::string dataDirectory();

 private:
  WebKitWebContext* context();

  WebKitWebContext* context_ = nullptr;  // made with the first view
};

}  // namespace linuxport

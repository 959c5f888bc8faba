#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

// A web view on the shared persistent data store.
class WebView {
 public:
  virtual ~WebView() = default;
  virtual void load(const std::string& url) = 0;
  virtual std::string url() const = 0;
};

class WebViews {
 public:
  virtual ~WebViews() = default;
  virtual std::unique_ptr<WebView> create(bool hidden) = 0;
};

}  // namespace platform

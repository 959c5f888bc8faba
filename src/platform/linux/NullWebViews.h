#pragma once

#include "platform/WebViews.h"

namespace linuxport {

// Until the knowledge-base pages run in WebKitGTK, no web view is made.
class NullWebViews : public platform::WebViews {
 public:
  std::unique_ptr<platform::WebView> create(bool) override { return nullptr; }
};

}  // namespace linuxport

#pragma once

#include "platform/Updater.h"
#include "platform/WebViews.h"

namespace linuxport {

// Until the knowledge-base pages run in WebKitGTK, no web view is made.
class NullWebViews : public platform::WebViews {
 public:
  std::unique_ptr<platform::WebView> create(bool) override { return nullptr; }
};

// Updates come from the distribution's packages; nothing runs inside Mirelo.
class PackageUpdater : public platform::Updater {
 public:
  void start() override {}
  void checkForUpdates() override {}
};

}  // namespace linuxport

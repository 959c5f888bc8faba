#include "platform/linux/WebKitWebViews.h"

#include "platform/linux/WebKitView.h"
#include "platform/linux/WebKitWindow.h"

namespace linuxport {

WebKitWebViews::~WebKitWebViews() {
  if (context_) g_object_unref(context_);
}

std::string WebKitWebViews::dataDirectory() {
  return std::string(g_get_user_data_dir()) + "/mirelo/web";
}

std::unique_ptr<platform::WebWindow> WebKitWebViews::createWindow(
    const platform::WebWindowStyle& style) {
  return std::make_unique<WebKitWindow>(context(), style);
}

std::unique_ptr<platform::WebView> WebKitWebViews::create(bool hidden) {
  return std::make_unique<WebKitView>(context(), hidden);
}

WebKitWebContext* WebKitWebViews::context() {
  if (!context_) {
    std::string data = dataDirectory();
    std::string cache = std::string(g_get_user_cache_dir()) + "/mirelo/web";
    WebKitWebsiteDataManager* manager = webkit_website_data_manager_new(
        "base-data-directory", data.c_str(), "base-cache-directory", cache.c_str(), nullptr);
    context_ = webkit_web_context_new_with_website_data_manager(manager);
    g_object_unref(manager);
  }
  return context_;
}

}  // namespace linuxport

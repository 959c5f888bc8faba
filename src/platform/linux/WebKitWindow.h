#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>

#include "platform/WebViews.h"
#include "platform/linux/WebKitView.h"

namespace linuxport {

// A resizable GTK window around one WebKitView, the style's colour behind the page. Closing
// hides it; present() shows it again (centred the first time) and raises it.
class WebKitWindow : public platform::WebWindow {
 public:
  WebKitWindow(WebKitWebContext* context, const platform::WebWindowStyle& style);
  ~WebKitWindow() override;
  WebKitWindow(const WebKitWindow&) = delete;
  WebKitWindow& operator=(const WebKitWindow&) = delete;

  platform::WebView& view() override { return *view_; }
  void present() override;

  GtkWindow* gtkWindow() const { return GTK_WINDOW(window_); }
  bool isVisible() const;

 private:
  static gboolean onDelete(GtkWidget* window, GdkEvent*, gpointer self);

  GtkWidget* window_ = nullptr;
  std::unique_ptr<WebKitView> view_;
  bool presented_ = false;
};

}  // namespace linuxport

#include "platform/linux/WebKitWindow.h"

#include <gdk/gdkx.h>

#include <string>

namespace linuxport {

namespace {

GdkRGBA rgba(platform::Rgb c) {
  return {c.red / 255.0, c.green / 255.0, c.blue / 255.0, 1.0};
}

void paintBackground(GtkWidget* window, platform::Rgb c) {
  GtkCssProvider* css = gtk_css_provider_new();
  std::string rule = "window { background-color: rgb(" + std::to_string(c.red) + "," +
                     std::to_string(c.green) + "," + std::to_string(c.blue) + "); }";
  gtk_css_provider_load_from_data(css, rule.c_str(), -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(window), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

// The time of the event that asked for the window, or else the X server's time now: a window
// presented with no time at all may be kept behind by a window manager.
guint32 presentTime(GtkWidget* window) {
  guint32 time = gtk_get_current_event_time();
  if (time != GDK_CURRENT_TIME) return time;
  GdkWindow* gdk = gtk_widget_get_window(window);
  if (gdk && GDK_IS_X11_WINDOW(gdk)) return gdk_x11_get_server_time(gdk);
  return GDK_CURRENT_TIME;
}

}  // namespace

WebKitWindow::WebKitWindow(WebKitWebContext* context, const platform::WebWindowStyle& style)
    : view_(std::make_unique<WebKitView>(context, false)) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  GtkWindow* w = GTK_WINDOW(window_);
  gtk_window_set_title(w, style.title.c_str());
  gtk_window_set_resizable(w, TRUE);
  gtk_window_set_default_size(w, style.width, style.height);
  GdkGeometry hints{};
  hints.min_width = style.minWidth;
  hints.min_height = style.minHeight;
  gtk_window_set_geometry_hints(w, nullptr, &hints, GDK_HINT_MIN_SIZE);
  gtk_window_set_position(w, GTK_WIN_POS_CENTER);
  paintBackground(window_, style.background);

  GtkWidget* page = GTK_WIDGET(view_->widget());
  gtk_widget_set_size_request(page, -1, -1);  // the window's hints set the smallest size
  GdkRGBA behind = rgba(style.background);
  webkit_web_view_set_background_color(view_->widget(), &behind);
  gtk_container_add(GTK_CONTAINER(window_), page);
  gtk_widget_show(page);
  g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
}

WebKitWindow::~WebKitWindow() {
  g_signal_handlers_disconnect_by_data(window_, this);
  // The view goes first, while its widget still has its window as parent.
  view_.reset();
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

void WebKitWindow::present() {
  gtk_widget_show(window_);
  gtk_window_present_with_time(GTK_WINDOW(window_), presentTime(window_));
  // Centred when first shown; afterwards it stays where the user put it.
  if (!presented_) gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_NONE);
  presented_ = true;
}

bool WebKitWindow::isVisible() const {
  return gtk_widget_get_visible(window_);
}

gboolean WebKitWindow::onDelete(GtkWidget* window, GdkEvent*, gpointer data) {
  auto* self = static_cast<WebKitWindow*>(data);
  gtk_widget_hide(window);
  if (self->onClosed) self->onClosed();
  return TRUE;
}

}  // namespace linuxport

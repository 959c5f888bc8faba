#include "platform/linux/GtkUi.h"

#include <gtk/gtk.h>

#include <cmath>

#include "platform/linux/GtkFileDialogs.h"

namespace linuxport {

namespace {

constexpr const char* kPanelFont = "Sans Medium 12";
constexpr const char* kPanelCss =
    "window.mirelo-panel { background-color: rgba(31, 20, 10, 0.92); border-radius: 6px; }"
    "window.mirelo-panel label { color: #ffffff; font: 500 12pt Sans; }";

void applyCss(GtkWidget* window) {
  static GtkCssProvider* provider = [] {
    GtkCssProvider* p = gtk_css_provider_new();
    gtk_css_provider_load_from_data(p, kPanelCss, -1, nullptr);
    return p;
  }();
  gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window),
                                            GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  gtk_style_context_add_class(gtk_widget_get_style_context(window), "mirelo-panel");
}

// Clicks go through the panel: an empty input shape, set once the window exists.
void passClicksThrough(GtkWidget* window) {
  cairo_region_t* empty = cairo_region_create();
  gtk_widget_input_shape_combine_region(window, empty);
  cairo_region_destroy(empty);
}

double screenHeight() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return 0;
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return 0;
  GdkRectangle r;
  gdk_monitor_get_geometry(monitor, &r);
  return r.y + r.height;
}

class GtkPanelWindow : public platform::PanelWindow {
 public:
  GtkPanelWindow(const platform::Rect& frame, const std::string& text,
                 const platform::Size& labelSize) {
    window_ = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_window_set_accept_focus(GTK_WINDOW(window_), FALSE);
    gtk_window_set_focus_on_map(GTK_WINDOW(window_), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(window_), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_NOTIFICATION);
    GdkScreen* screen = gtk_widget_get_screen(window_);
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen)) gtk_widget_set_visual(window_, rgba);
    gtk_widget_set_app_paintable(window_, FALSE);
    applyCss(window_);
    GtkWidget* fixed = gtk_fixed_new();
    label_ = gtk_label_new(text.c_str());
    gtk_widget_set_size_request(label_, static_cast<int>(std::ceil(labelSize.width)),
                                static_cast<int>(std::ceil(labelSize.height)));
    gtk_label_set_xalign(GTK_LABEL(label_), 0);
    gtk_fixed_put(GTK_FIXED(fixed), label_, 11,
                  static_cast<int>((frame.height - labelSize.height) / 2));
    gtk_container_add(GTK_CONTAINER(window_), fixed);
    int width = static_cast<int>(std::ceil(frame.width)),
        height = static_cast<int>(std::ceil(frame.height));
    gtk_window_set_default_size(GTK_WINDOW(window_), width, height);
    gtk_widget_set_size_request(window_, width, height);
    int top = static_cast<int>(std::lround(screenHeight() - frame.y - frame.height));
    gtk_window_move(GTK_WINDOW(window_), static_cast<int>(std::lround(frame.x)), top);
    gtk_widget_show_all(window_);
    passClicksThrough(window_);
  }
  ~GtkPanelWindow() override { gtk_widget_destroy(window_); }
  void setText(const std::string& text) override {
    gtk_label_set_text(GTK_LABEL(label_), text.c_str());
  }

 private:
  GtkWidget* window_;
  GtkWidget* label_;
};

}  // namespace

int GtkUi::runAlert(const std::string& message, const std::string& informative,
                    const std::vector<std::string>& buttons) {
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                             GTK_BUTTONS_NONE, "%s", message.c_str());
  if (!informative.empty())
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", informative.c_str());
  for (size_t i = 0; i < buttons.size(); ++i)
    gtk_dialog_add_button(GTK_DIALOG(dialog), buttons[i].c_str(), static_cast<gint>(i));
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  // Closed without a choice: the last button, the one that changes nothing.
  if (response < 0) return buttons.empty() ? 0 : static_cast<int>(buttons.size()) - 1;
  return response;
}

platform::Size GtkUi::measurePanelText(const std::string& text) {
  PangoFontMap* map = pango_cairo_font_map_get_default();
  PangoContext* context = pango_font_map_create_context(map);
  PangoLayout* layout = pango_layout_new(context);
  PangoFontDescription* font = pango_font_description_from_string(kPanelFont);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, text.c_str(), -1);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  pango_font_description_free(font);
  g_object_unref(layout);
  g_object_unref(context);
  return {static_cast<double>(w), static_cast<double>(h)};
}

std::unique_ptr<platform::PanelWindow> GtkUi::showPanel(const platform::Rect& frame,
                                                        const std::string& text,
                                                        const platform::Size& labelSize) {
  return std::make_unique<GtkPanelWindow>(frame, text, labelSize);
}

platform::Point GtkUi::mouseLocation() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return {};
  GdkSeat* seat = gdk_display_get_default_seat(display);
  GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
  if (!pointer) return {};
  int x = 0, y = 0;
  gdk_device_get_position(pointer, nullptr, &x, &y);
  return {static_cast<double>(x), screenHeight() - y};
}

std::optional<platform::Rect> GtkUi::primaryScreenFrame() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return std::nullopt;
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return std::nullopt;
  GdkRectangle r;
  gdk_monitor_get_geometry(monitor, &r);
  return platform::Rect{static_cast<double>(r.x), static_cast<double>(r.y),
                        static_cast<double>(r.width), static_cast<double>(r.height)};
}

void GtkUi::chooseSavePath(const platform::FileDialog& dialog,
                           std::function<void(std::optional<std::string>)> done) {
  GtkFileDialogs::chooseSavePath(dialog, std::move(done));
}

void GtkUi::chooseOpenPaths(const platform::FileDialog& dialog,
                            std::function<void(std::vector<std::string>)> done) {
  GtkFileDialogs::chooseOpenPaths(dialog, std::move(done));
}

std::optional<std::string> GtkUi::downloadsDirectory() {
  const char* path = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  if (!path) return std::nullopt;
  return std::string(path);
}

}  // namespace linuxport

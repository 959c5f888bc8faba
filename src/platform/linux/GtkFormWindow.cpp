#include "platform/linux/GtkFormWindow.h"

#include <gtk/gtk.h>

#include <cstdio>

namespace linuxport {

namespace {

std::string css(platform::Rgb c) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "rgb(%d,%d,%d)", c.red, c.green, c.blue);
  return buffer;
}

PangoWeight pangoWeight(platform::FormWindow::Weight w) {
  switch (w) {
    case platform::FormWindow::Weight::medium:
      return PANGO_WEIGHT_MEDIUM;
    case platform::FormWindow::Weight::semibold:
      return PANGO_WEIGHT_SEMIBOLD;
    default:
      return PANGO_WEIGHT_NORMAL;
  }
}

// One provider per widget: the style belongs to that widget alone.
void style(GtkWidget* widget, const std::string& rules) {
  GtkCssProvider* provider = gtk_css_provider_new();
  std::string text = "* { " + rules + " }";
  gtk_css_provider_load_from_data(provider, text.c_str(), -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

gboolean drawBox(GtkWidget* widget, cairo_t* cr, gpointer data) {
  auto* e = static_cast<platform::FormWindow::Element*>(data);
  double w = gtk_widget_get_allocated_width(widget), h = gtk_widget_get_allocated_height(widget);
  double r = std::min({e->cornerRadius, w / 2, h / 2});
  if (w <= 0 || h <= 0) return FALSE;
  cairo_new_sub_path(cr);
  cairo_arc(cr, w - r, r, r, -G_PI / 2, 0);
  cairo_arc(cr, w - r, h - r, r, 0, G_PI / 2);
  cairo_arc(cr, r, h - r, r, G_PI / 2, G_PI);
  cairo_arc(cr, r, r, r, G_PI, 3 * G_PI / 2);
  cairo_close_path(cr);
  cairo_set_source_rgb(cr, e->fill.red / 255.0, e->fill.green / 255.0, e->fill.blue / 255.0);
  cairo_fill(cr);
  return FALSE;
}

}  // namespace

GtkFormWindow::GtkFormWindow(std::string title, double width, platform::Rgb background)
    : width_(width) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  style(window_, "background-color: " + css(background) + ";");
  g_signal_connect(window_, "delete-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer self) {
                     gtk_widget_hide(w);
                     auto* me = static_cast<GtkFormWindow*>(self);
                     if (me->onClose) me->onClose();
                     return TRUE;
                   }),
                   this);
}

GtkFormWindow::~GtkFormWindow() {
  gtk_widget_destroy(window_);
  g_object_unref(window_);
  for (auto* a : actions_)
    delete a;
}

void GtkFormWindow::setContent(std::vector<Element> elements, double height) {
  if (content_) gtk_widget_destroy(content_);
  for (auto* a : actions_)
    delete a;
  actions_.clear();
  named_.clear();
  // A layout, not a GtkFixed: its size is the content's, whatever its children ask for (a
  // wrapping label asks for its height at its narrowest).
  content_ = gtk_layout_new(nullptr, nullptr);
  gtk_layout_set_size(GTK_LAYOUT(content_), static_cast<guint>(width_), static_cast<guint>(height));
  gtk_widget_set_size_request(content_, static_cast<int>(width_), static_cast<int>(height));
  for (const auto& e : elements)
    place(content_, e, 0, 0);
  gtk_container_add(GTK_CONTAINER(window_), content_);
  gtk_widget_show_all(content_);
  for (auto& [name, n] : named_)
    if (n.element.hidden) gtk_widget_hide(n.widget);
  // Not resizable: the window takes the content's size, its top-left corner where it was.
  gtk_window_resize(GTK_WINDOW(window_), static_cast<int>(width_), static_cast<int>(height));
}

void GtkFormWindow::place(GtkWidget* fixed, const Element& e, double dx, double dy) {
  GtkWidget* widget = nullptr;
  GtkWidget* label = nullptr;
  switch (e.kind) {
    case Element::Kind::label:
      widget = label = makeLabel(e);
      break;
    case Element::Kind::button:
      widget = makeButton(e, label);
      break;
    case Element::Kind::box:
      widget = makeBox(e);
      break;
    case Element::Kind::image: {
      GdkPixbuf* pixbuf = nullptr;
      if (e.imagePath)
        pixbuf = gdk_pixbuf_new_from_file_at_scale(e.imagePath->c_str(), int(e.frame.width),
                                                   int(e.frame.height), TRUE, nullptr);
      widget = pixbuf ? gtk_image_new_from_pixbuf(pixbuf) : gtk_image_new();
      if (pixbuf) g_object_unref(pixbuf);
      break;
    }
  }
  gtk_widget_set_size_request(widget, int(e.frame.width), int(e.frame.height));
  gtk_layout_put(GTK_LAYOUT(fixed), widget, int(dx + e.frame.x), int(dy + e.frame.y));
  if (!e.name.empty()) named_[e.name] = Named{widget, label, e};
  for (const auto& child : e.children)
    place(fixed, child, dx + e.frame.x, dy + e.frame.y);
}

void GtkFormWindow::applyText(GtkWidget* label, const Element& e) {
  PangoAttrList* attrs = pango_attr_list_new();
  pango_attr_list_insert(attrs, pango_attr_family_new(kFontFamily));
  // The layout's points are pixels at the usual resolution, as on the other desktop.
  pango_attr_list_insert(attrs, pango_attr_size_new_absolute(int(e.pointSize * PANGO_SCALE)));
  pango_attr_list_insert(attrs, pango_attr_weight_new(pangoWeight(e.weight)));
  pango_attr_list_insert(
      attrs, pango_attr_foreground_new(e.color.red * 257, e.color.green * 257, e.color.blue * 257));
  // The face's own line spacing is taller than the frames allow: one line fills its frame
  // exactly, wrapped lines at 0.85 of the face's spacing.
  if (e.wraps)
    pango_attr_list_insert(attrs, pango_attr_line_height_new(0.85));
  else
    pango_attr_list_insert(attrs,
                           pango_attr_line_height_new_absolute(int(e.frame.height * PANGO_SCALE)));
  gtk_label_set_attributes(GTK_LABEL(label), attrs);
  pango_attr_list_unref(attrs);
  gtk_label_set_text(GTK_LABEL(label), e.text.c_str());
}

GtkWidget* GtkFormWindow::makeLabel(const Element& e) {
  GtkWidget* label = gtk_label_new(nullptr);
  applyText(label, e);
  gtk_label_set_xalign(GTK_LABEL(label), e.align == Align::right ? 1.0f : 0.0f);
  gtk_label_set_yalign(GTK_LABEL(label), e.wraps ? 0.0f : 0.5f);
  if (e.wraps) {
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
  } else if (e.truncates) {
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
  }
  return label;
}

GtkWidget* GtkFormWindow::makeButton(const Element& e, GtkWidget*& label) {
  GtkWidget* button = gtk_button_new();
  gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
  label = gtk_label_new(nullptr);
  Element inside = e;
  if (e.style == ButtonStyle::ghost) inside.frame.height -= 2;  // within the 1-point border
  applyText(label, inside);
  if (e.style == ButtonStyle::link)
    gtk_label_set_xalign(GTK_LABEL(label), e.align == Align::right ? 1.0f : 0.0f);
  gtk_container_add(GTK_CONTAINER(button), label);
  std::string rules =
      "padding: 0; margin: 0; min-height: 0; min-width: 0; box-shadow: none; "
      "background-image: none; outline-width: 0; ";
  switch (e.style) {
    case ButtonStyle::primary:
      rules += "background-color: " + css(e.fill) + "; border: none; border-radius: 10px;";
      break;
    case ButtonStyle::ghost:
      rules += "background-color: " + css(e.fill) +
               "; border: 1px solid rgb(236,231,223); "
               "border-radius: 7px;";
      break;
    case ButtonStyle::link:
      rules += "background-color: transparent; border: none;";
      break;
  }
  style(button, rules);
  auto* action = new std::function<void()>(e.action);
  actions_.push_back(action);
  g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton*, gpointer data) {
                     auto& f = *static_cast<std::function<void()>*>(data);
                     if (f) f();
                   }),
                   action);
  return button;
}

GtkWidget* GtkFormWindow::makeBox(const Element& e) {
  GtkWidget* area = gtk_drawing_area_new();
  auto* copy = new Element(e);
  copy->children.clear();
  g_signal_connect_data(
      area, "draw", G_CALLBACK(drawBox), copy,
      [](gpointer d, GClosure*) { delete static_cast<Element*>(d); }, GConnectFlags(0));
  return area;
}

void GtkFormWindow::setText(const std::string& name, const std::string& text) {
  auto it = named_.find(name);
  if (it == named_.end() || !it->second.label) return;
  it->second.element.text = text;
  gtk_label_set_text(GTK_LABEL(it->second.label), text.c_str());
}

void GtkFormWindow::setTextColor(const std::string& name, platform::Rgb color) {
  auto it = named_.find(name);
  if (it == named_.end() || !it->second.label) return;
  it->second.element.color = color;
  applyText(it->second.label, it->second.element);
}

void GtkFormWindow::setHidden(const std::string& name, bool hidden) {
  auto it = named_.find(name);
  if (it == named_.end()) return;
  gtk_widget_set_visible(it->second.widget, !hidden);
}

void GtkFormWindow::setWidth(const std::string& name, double width) {
  auto it = named_.find(name);
  if (it == named_.end()) return;
  gtk_widget_set_size_request(it->second.widget, int(width), int(it->second.element.frame.height));
  gtk_widget_set_visible(it->second.widget, width > 0);
}

void GtkFormWindow::present() {
  gtk_widget_show(window_);
  gtk_window_present(GTK_WINDOW(window_));
}

bool GtkFormWindow::isOpen() {
  return gtk_widget_get_visible(window_);
}

}  // namespace linuxport

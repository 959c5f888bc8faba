#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/FormWindow.h"

typedef struct _GtkWidget GtkWidget;

namespace linuxport {

// A GTK 3 window with a GtkFixed of exact frames; labels carry their font and colour as Pango
// attributes, buttons and boxes are styled with CSS. Closing hides the window.
class GtkFormWindow : public platform::FormWindow {
 public:
  static constexpr const char* kFontFamily = "Noto Sans CJK KR";

  GtkFormWindow(std::string title, double width, platform::Rgb background);
  ~GtkFormWindow() override;
  GtkFormWindow(const GtkFormWindow&) = delete;
  GtkFormWindow& operator=(const GtkFormWindow&) = delete;

  void setContent(std::vector<Element> elements, double height) override;
  void setText(const std::string& name, const std::string& text) override;
  void setTextColor(const std::string& name, platform::Rgb color) override;
  void setHidden(const std::string& name, bool hidden) override;
  void setWidth(const std::string& name, double width) override;
  void present() override;
  bool isOpen() override;

  GtkWidget* widget() const { return window_; }

 private:
  struct Named {
    GtkWidget* widget = nullptr;
    GtkWidget* label = nullptr;  // the text-bearing label (a button's child)
    Element element;
  };
  void place(GtkWidget* fixed, const Element& e, double dx, double dy);
  GtkWidget* makeLabel(const Element& e);
  GtkWidget* makeButton(const Element& e, GtkWidget*& label);
  GtkWidget* makeBox(const Element& e);
  static void applyText(GtkWidget* label, const Element& e);

  GtkWidget* window_ = nullptr;
  GtkWidget* content_ = nullptr;
  double width_;
  std::vector<std::function<void()>*> actions_;
  std::map<std::string, Named> named_;
};

}  // namespace linuxport

#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/FormWindow.h"

namespace fake {

// Keeps the content as set and applies the later changes to its named elements.
class FakeFormWindow : public platform::FormWindow {
 public:
  void setContent(std::vector<Element> newElements, double newHeight) override {
    elements = std::move(newElements);
    height = newHeight;
    ++contents;
  }
  void setText(const std::string& name, const std::string& text) override {
    if (auto* e = find(name)) e->text = text;
  }
  void setTextColor(const std::string& name, platform::Rgb color) override {
    if (auto* e = find(name)) e->color = color;
  }
  void setHidden(const std::string& name, bool hidden) override {
    if (auto* e = find(name)) e->hidden = hidden;
  }
  void setWidth(const std::string& name, double width) override {
    if (auto* e = find(name)) e->frame.width = width;
  }
  void present() override {
    open = true;
    ++presents;
  }
  bool isOpen() override { return open; }

  // The element with this name, or the first whose text is this, searched depth first.
  Element* find(const std::string& key) { return findIn(elements, key); }
  void close() {
    open = false;
    if (onClose) onClose();
  }

  std::vector<Element> elements;
  double height = 0;
  int contents = 0, presents = 0;
  bool open = false;

 private:
  static Element* findIn(std::vector<Element>& list, const std::string& key) {
    for (auto& e : list) {
      if (e.name == key || (e.name.empty() && !e.text.empty() && e.text == key)) return &e;
      if (auto* child = findIn(e.children, key)) return child;
    }
    return nullptr;
  }
};

}  // namespace fake

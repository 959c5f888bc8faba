#include "platform/linux/AtspiFlatText.h"

#include <algorithm>

namespace linuxport {

namespace {

constexpr int kMaxDepth = 32;

long codePoints(std::string_view text) {
  return static_cast<long>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

int AtspiFlatText::open(long at, bool block) {
  if (block || pendingBreak_) breakLine();
  pendingBreak_ = false;
  int number = static_cast<int>(objects_.size());
  if (!open_.empty()) objects_[open_.back()].embedded.emplace_back(at, number);
  objects_.push_back(Object{length_, length_, block, {}});
  open_.push_back(number);
  return number;
}

void AtspiFlatText::close() {
  if (open_.empty()) return;
  Object& object = objects_[open_.back()];
  object.end = length_;
  pendingBreak_ = object.block;
  open_.pop_back();
}

void AtspiFlatText::append(long at, std::string_view text) {
  if (open_.empty() || text.empty()) return;
  if (pendingBreak_) breakLine();
  pendingBreak_ = false;
  long n = codePoints(text);
  runs_.push_back(Run{open_.back(), at, length_, n});
  text_ += text;
  length_ += n;
}

void AtspiFlatText::breakLine() {
  if (length_ == 0 || text_.back() == '\n') return;
  text_ += '\n';
  ++length_;
}

std::optional<int> AtspiFlatText::embeddedAt(int object, long at) const {
  if (object < 0 || object >= static_cast<int>(objects_.size())) return std::nullopt;
  for (auto [offset, child] : objects_[object].embedded)
    if (offset == at) return child;
  return std::nullopt;
}

std::optional<long> AtspiFlatText::position(int object, long at) const {
  for (const Run& run : runs_)
    if (run.object == object && run.at <= at && at <= run.at + run.length)
      return run.start + (at - run.at);
  if (auto child = embeddedAt(object, at)) return objects_[*child].start;
  if (auto child = embeddedAt(object, at - 1)) return objects_[*child].end;
  if (at == 0 && object >= 0 && object < static_cast<int>(objects_.size()))
    return objects_[object].start;
  return std::nullopt;
}

// An end of the selection that falls on an embedded object lies inside it: where that object's
// own selection says, or at its edge when the object has no selection of its own; absent when
// the object shows an empty one.
std::optional<long> AtspiFlatText::resolve(int object, long at, bool end,
                                           const SelectionOf& selectionOf, int depth) const {
  auto child = embeddedAt(object, end ? at - 1 : at);
  if (child && depth < kMaxDepth) {
    auto own = selectionOf(*child);
    if (!own) return end ? objects_[*child].start : objects_[*child].end;
    if (own->end == own->start) return std::nullopt;
    return resolve(*child, end ? std::max(own->start, own->end) : std::min(own->start, own->end),
                   end, selectionOf, depth + 1);
  }
  return std::clamp(position(object, at).value_or(end ? objects_[object].end : 0), 0L, length_);
}

AtspiFlatText::Selection AtspiFlatText::selection(const SelectionOf& selectionOf) const {
  if (objects_.empty()) return {};
  auto own = selectionOf(0);
  if (!own || own->end == own->start) return {};
  long from = std::min(own->start, own->end), to = std::max(own->start, own->end);
  auto start = resolve(0, from, false, selectionOf, 0);
  auto end = resolve(0, to, true, selectionOf, 0);
  if (!start || !end) return {Selection::hidden, {}};
  return {Selection::known, {std::min(*start, *end), std::max(*start, *end)}};
}

std::optional<long> AtspiFlatText::caret(const CaretOf& caretOf) const {
  int object = 0;
  auto at = objects_.empty() ? std::nullopt : caretOf(0);
  for (int depth = 0; at && depth < kMaxDepth; ++depth) {
    auto child = embeddedAt(object, *at);
    auto inside = child ? caretOf(*child) : std::nullopt;
    if (!inside) break;
    object = *child;
    at = inside;
  }
  if (!at) return std::nullopt;
  return position(object, *at);
}

}  // namespace linuxport

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linuxport {

// The text of an element whose text holds embedded objects (U+FFFC, one for each child that
// is not plain text, as in a browser's editable section): each embedded object's own text in
// its place, a block on lines of its own. Objects are numbered in the order they are added,
// the element itself 0. Offsets are code points.
class AtspiFlatText {
 public:
  struct Span {
    long start = 0, end = 0;
  };
  // An object's own selection in its own offsets, absent when it has none.
  using SelectionOf = std::function<std::optional<Span>(int object)>;
  // An object's own caret offset, absent when it has none.
  using CaretOf = std::function<std::optional<long>(int object)>;

  // Starts the text of a new object, embedded in the current one at offset `at` (ignored for
  // the first); returns its number. A block starts on a line of its own.
  int open(long at, bool block);
  // Closes the current object; the text after a block starts on a new line.
  void close();
  // Appends text of the current object that starts at its offset `at`.
  void append(long at, std::string_view text);

  const std::string& text() const { return text_; }
  long length() const { return length_; }

  struct Selection {
    // hidden: an object the selection passes through shows an empty part of it (a browser
    // shows a selection across objects only in the object where it ends).
    enum Kind { none, known, hidden } kind = none;
    Span span;
  };
  // The selection of the whole, from the element's own selection (in its offsets, where an
  // embedded object counts one) refined by the selections of the objects it touches.
  Selection selection(const SelectionOf& selectionOf) const;
  // The caret in the whole: on an embedded object, inside it where its own caret is.
  std::optional<long> caret(const CaretOf& caretOf) const;
  // The position of offset `at` of object `object`, or absent when it is not one of its
  // text's positions.
  std::optional<long> position(int object, long at) const;

 private:
  struct Run {
    int object;
    long at, start, length;  // the object's offset, where it starts in the whole, its length
  };
  struct Object {
    long start = 0, end = 0;  // in the whole
    bool block = false;
    std::vector<std::pair<long, int>> embedded;  // the object's offset, the child's number
  };
  void breakLine();
  std::optional<int> embeddedAt(int object, long at) const;
  std::optional<long> resolve(int object, long at, bool end, const SelectionOf& selectionOf,
                              int depth) const;

  std::string text_;
  long length_ = 0;
  std::vector<Run> runs_;
  std::vector<Object> objects_;
  std::vector<int> open_;      // the objects being added, innermost last
  bool pendingBreak_ = false;  // a block has just closed
};

}  // namespace linuxport

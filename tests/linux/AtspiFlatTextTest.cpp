#include "platform/linux/AtspiFlatText.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using linuxport::AtspiFlatText;
using Span = AtspiFlatText::Span;

// An editable section "￼￼" of two paragraphs, the first with a link "￼" inside:
// "안녕 😀 ￼ 끝" (link "여기") and "둘째 줄".
struct Editor {
  AtspiFlatText flat;
  int section, first, link, second;
  Editor() {
    section = flat.open(0, false);
    first = flat.open(0, true);
    flat.append(0, "안녕 😀 ");
    link = flat.open(5, false);
    flat.append(0, "여기");
    flat.close();
    flat.append(6, " 끝");
    flat.close();
    second = flat.open(1, true);
    flat.append(0, "둘째 줄");
    flat.close();
    flat.close();
  }
  // The selection of the whole when each object has the selection given (others none).
  std::optional<Span> select(std::map<int, Span> own) const {
    auto s = flat.selection([&](int o) -> std::optional<Span> {
      auto it = own.find(o);
      if (it == own.end()) return std::nullopt;
      return it->second;
    });
    if (s.kind == AtspiFlatText::Selection::hidden) return Span{-1, -1};
    if (s.kind == AtspiFlatText::Selection::none) return std::nullopt;
    return s.span;
  }
};

long spanLength(const std::optional<Span>& s) {
  return s ? s->end - s->start : -1;
}

TEST(AtspiFlatText, EmbeddedObjectsReadInPlaceBlocksOnLinesOfTheirOwn) {
  Editor e;
  EXPECT_EQ(e.flat.text(), "안녕 😀 여기 끝\n둘째 줄");
  EXPECT_EQ(e.flat.length(), 14) << "code points; the emoji is one";

  AtspiFlatText blocks;  // a block between text of its parent, and nothing doubled
  blocks.open(0, false);
  blocks.append(0, "위\n");
  blocks.open(2, true);
  blocks.append(0, "가운데");
  blocks.close();
  blocks.append(3, "아래");
  blocks.close();
  EXPECT_EQ(blocks.text(), "위\n가운데\n아래");
}

TEST(AtspiFlatText, ASelectionInsideEmbeddedObjectsComesFromTheirOwn) {
  Editor e;
  // Inside the first paragraph: the section only knows it touches that paragraph.
  EXPECT_EQ(e.select({{e.section, {0, 1}}, {e.first, {3, 5}}})->start, 3);
  EXPECT_EQ(spanLength(e.select({{e.section, {0, 1}}, {e.first, {3, 5}}})), 2);
  // From the link into the second paragraph: "기 끝\n둘째".
  auto across =
      e.select({{e.section, {0, 2}}, {e.first, {5, 8}}, {e.link, {1, 2}}, {e.second, {0, 2}}});
  ASSERT_TRUE(across);
  EXPECT_EQ(across->start, 6);
  EXPECT_EQ(across->end, 12);
  // A touched paragraph without a selection of its own is touched only at its edge.
  auto edge = e.select({{e.section, {0, 2}}, {e.second, {0, 2}}});
  ASSERT_TRUE(edge);
  EXPECT_EQ(edge->start, 9) << "the end of the first paragraph";
  EXPECT_EQ(edge->end, 12);
  // A paragraph the selection passes through that shows an empty part hides where it starts.
  auto hidden = e.select({{e.section, {0, 2}}, {e.first, {0, 0}}, {e.second, {0, 2}}});
  ASSERT_TRUE(hidden);
  EXPECT_EQ(hidden->start, -1);
  // Backwards, empty or missing: as the element says.
  EXPECT_EQ(spanLength(e.select({{e.section, {1, 0}}, {e.first, {3, 5}}})), 2);
  EXPECT_FALSE(e.select({{e.section, {1, 1}}}));
  EXPECT_FALSE(e.select({{e.first, {3, 5}}}));
}

TEST(AtspiFlatText, ASelectionOfTheElementsOwnText) {
  AtspiFlatText flat;  // "ab￼cd", the embedded object "XY"
  flat.open(0, false);
  flat.append(0, "ab");
  flat.open(2, false);
  flat.append(0, "XY");
  flat.close();
  flat.append(3, "cd");
  flat.close();
  ASSERT_EQ(flat.text(), "abXYcd");
  auto s = flat.selection([](int o) { return o == 0 ? std::optional(Span{1, 4}) : std::nullopt; });
  ASSERT_EQ(s.kind, AtspiFlatText::Selection::known);
  EXPECT_EQ(s.span.start, 1);
  EXPECT_EQ(s.span.end, 5) << "after the 'c' that follows the object";
  EXPECT_EQ(flat.position(0, 5), 6);
  EXPECT_EQ(flat.position(0, 9), std::nullopt);
}

TEST(AtspiFlatText, TheCaretFollowsEmbeddedObjectsThatHaveOne) {
  Editor e;
  auto caretIn = [](std::map<int, long> own) {
    return [own](int o) -> std::optional<long> {
      auto it = own.find(o);
      return it == own.end() ? std::nullopt : std::optional(it->second);
    };
  };
  EXPECT_EQ(e.flat.caret(caretIn({{e.section, 1}, {e.second, 2}})), 12);
  EXPECT_EQ(e.flat.caret(caretIn({{e.section, 0}, {e.first, 5}, {e.link, 1}})), 6);
  EXPECT_EQ(e.flat.caret(caretIn({{e.section, 1}})), 10) << "the second paragraph's start";
  EXPECT_EQ(e.flat.caret(caretIn({})), std::nullopt);
}

}  // namespace

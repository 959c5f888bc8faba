#include "feedback/CaretPanel.h"

#include <gtest/gtest.h>

#include "fake/FakeDesktop.h"

namespace {

using fake::FakeElement;
using platform::Rect;
using platform::TextRange;

class CaretPanelTest : public testing::Test {
 protected:
  void SetUp() override {
    field.element = element;
    element->set("AXFrame", Rect{10, 80, 300, 40});
  }

  // Answers range bounds with rect for any range.
  void boundsAre(Rect rect) {
    element->parameterized["AXBoundsForRange"] = [rect](const platform::AXValue&) {
      return std::optional<platform::AXValue>(rect);
    };
  }

  std::vector<std::string> texts(size_t panel = 0) const { return desk.ui.panels.at(panel)->texts; }

  fake::FakeDesktop desk;  // primary screen 1280 × 1024, mouse at (100, 200)
  std::shared_ptr<FakeElement> element = FakeElement::make("field");
  FocusedField field;
  CaretPanel panel{desk.ui, desk.clock};
};

TEST_F(CaretPanelTest, AZeroWidthCaretIsAnAnchorAndComesOutFlipped) {
  field.selectedRange = TextRange{3, 0};
  boundsAre({50, 100, 0, 17});
  EXPECT_EQ(panel.anchorRect(desk.accessibility, field), (Rect{50, 1024 - 100 - 17, 0, 17}));
}

TEST_F(CaretPanelTest, FlatOrMissingRangeBoundsFallBackToTheFrame) {
  const Rect frameFlipped{10, 1024 - 80 - 40, 300, 40};
  field.selectedRange = TextRange{3, 0};
  boundsAre({50, 100, 4, 0});
  EXPECT_EQ(panel.anchorRect(desk.accessibility, field), frameFlipped);
  boundsAre({50, 100, -1, 17});
  EXPECT_EQ(panel.anchorRect(desk.accessibility, field), frameFlipped);
  element->parameterized.clear();
  EXPECT_EQ(panel.anchorRect(desk.accessibility, field), frameFlipped);

  // Without a selected range the bounds are not even asked for.
  boundsAre({50, 100, 0, 17});
  field.selectedRange.reset();
  EXPECT_EQ(panel.anchorRect(desk.accessibility, field), frameFlipped);
}

TEST_F(CaretPanelTest, AFlatFrameWithoutRangeBoundsIsNoAnchor) {
  field.selectedRange = TextRange{0, 0};
  element->set("AXFrame", Rect{10, 80, 300, 0});
  EXPECT_FALSE(panel.anchorRect(desk.accessibility, field));
  element->attributes.erase("AXFrame");
  EXPECT_FALSE(panel.anchorRect(desk.accessibility, field));
  field.element = nullptr;
  EXPECT_FALSE(panel.anchorRect(desk.accessibility, field));
}

TEST_F(CaretPanelTest, FlippingUsesThePrimaryScreenOnly) {
  desk.ui.screen = Rect{0, 0, 1920, 1080};
  EXPECT_EQ(panel.flipped({5, 30, 20, 10}), (Rect{5, 1040, 20, 10}));
  desk.ui.screen.reset();
  EXPECT_EQ(panel.flipped({5, 30, 20, 10}), (Rect{5, 30, 20, 10}));
}

TEST_F(CaretPanelTest, ThePanelIsAsWideAsTheWidestTextAndKeepsItWhileTheDotsCycle) {
  panel.present("zel.", {40, 60}, "zel...");
  panel.startAnimating("zel");
  ASSERT_EQ(desk.ui.panels.size(), 1u);
  const auto& shown = *desk.ui.panels[0];
  EXPECT_EQ(shown.frame, (Rect{40, 60, 6 * 7 + 22, 22}));
  EXPECT_EQ(shown.labelSize, (platform::Size{6 * 7, 15}));

  desk.clock.advance(0.39);
  EXPECT_EQ(texts(), (std::vector<std::string>{"zel."}));
  desk.clock.advance(0.01 + 0.4 * 2);
  EXPECT_EQ(texts(), (std::vector<std::string>{"zel.", "zel..", "zel...", "zel."}));
  EXPECT_EQ(desk.ui.panels.size(), 1u);  // the text changes in place
  EXPECT_TRUE(shown.open);
}

TEST_F(CaretPanelTest, WithoutAWidestTextThePanelFitsItsText) {
  panel.present("안녕", {0, 0});
  EXPECT_EQ(desk.ui.panels.at(0)->frame, (Rect{0, 0, 2 * 7 + 22, 22}));
}

TEST_F(CaretPanelTest, HideClosesStopsTheDotsAndIsHarmlessTwice) {
  panel.present("zel.", {40, 60}, "zel...");
  panel.startAnimating("zel");
  panel.hide();
  panel.hide();
  EXPECT_FALSE(panel.showing());
  EXPECT_FALSE(desk.ui.panels.at(0)->open);
  desk.clock.advance(2);
  EXPECT_EQ(texts(), (std::vector<std::string>{"zel."}));
  EXPECT_EQ(desk.clock.pendingTimers(), 0u);
}

TEST_F(CaretPanelTest, AnAnimationStartsAgainFromOneDot) {
  panel.present("zel.", {0, 0}, "zel...");
  panel.startAnimating("zel");
  desk.clock.advance(0.4);  // "zel.."
  panel.hide();
  panel.present("zel.", {0, 0}, "zel...");
  panel.startAnimating("zel");
  desk.clock.advance(0.4);
  EXPECT_EQ(texts(1), (std::vector<std::string>{"zel.", "zel.."}));
}

TEST_F(CaretPanelTest, AFlashSitsBesideThePointerForItsTime) {
  panel.flash("메시지", 3.0);
  const auto& shown = *desk.ui.panels.at(0);
  EXPECT_EQ(shown.frame, (Rect{112, 214, 3 * 7 + 22, 22}));
  desk.clock.advance(2.99);
  EXPECT_TRUE(shown.open);
  EXPECT_EQ(shown.texts.size(), 1u);  // no dots
  desk.clock.advance(0.01);
  EXPECT_FALSE(shown.open);
  EXPECT_FALSE(panel.showing());
}

TEST_F(CaretPanelTest, ASecondFlashReplacesTheFirstAndKeepsItsOwnTime) {
  panel.flash("first", 3.0);
  desk.clock.advance(1);
  desk.ui.mouse = {300, 400};
  panel.flash("second", 3.0);
  EXPECT_FALSE(desk.ui.panels.at(0)->open);
  const auto& second = *desk.ui.panels.at(1);
  EXPECT_EQ(second.frame.x, 312);
  EXPECT_EQ(second.frame.y, 414);
  desk.clock.advance(2.5);  // past the first flash's end
  EXPECT_TRUE(second.open);
  desk.clock.advance(0.5);
  EXPECT_FALSE(second.open);
}

TEST_F(CaretPanelTest, TimersDoNothingOnceThePanelObjectIsGone) {
  auto doomed = std::make_unique<CaretPanel>(desk.ui, desk.clock);
  doomed->present("zel.", {0, 0}, "zel...");
  doomed->startAnimating("zel");
  doomed.reset();
  EXPECT_FALSE(desk.ui.panels.at(0)->open);
  desk.clock.advance(5);
  EXPECT_EQ(texts(), (std::vector<std::string>{"zel."}));
}

}  // namespace

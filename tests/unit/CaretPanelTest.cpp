#include "feedback/CaretPanel.h"

#include <gtest/gtest.h>

#include "fake/FakeDesktop.h"

namespace {

using fake::FakeElement;
using platform::Rect;
using Texts = std::vector<std::string>;

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
  std::optional<Rect> anchor() { return panel.anchorRect(desk.accessibility, field); }
  Texts texts(size_t panel = 0) const { return desk.ui.panels.at(panel)->texts; }

  fake::FakeDesktop desk;  // primary screen 1280 × 1024, mouse at (100, 200)
  std::shared_ptr<FakeElement> element = FakeElement::make("field");
  FocusedField field;
  CaretPanel panel{desk.ui, desk.clock};
};

TEST_F(CaretPanelTest, TheCaretIsTheAnchorElseTheFieldsFrameFlipped) {
  const Rect frameFlipped{10, 1024 - 80 - 40, 300, 40};
  field.selectedRange = platform::TextRange{3, 0};
  boundsAre({50, 100, 0, 17});  // a caret between two characters: zero width
  EXPECT_EQ(anchor(), (Rect{50, 1024 - 100 - 17, 0, 17}));
  for (Rect flat : {Rect{50, 100, 4, 0}, Rect{50, 100, -1, 17}}) {
    boundsAre(flat);
    EXPECT_EQ(anchor(), frameFlipped);
  }
  element->parameterized.clear();
  EXPECT_EQ(anchor(), frameFlipped);
  boundsAre({50, 100, 0, 17});
  field.selectedRange.reset();  // without a range the bounds are not asked for
  EXPECT_EQ(anchor(), frameFlipped);

  element->set("AXFrame", Rect{10, 80, 300, 0});
  EXPECT_FALSE(anchor());
  element->attributes.erase("AXFrame");
  EXPECT_FALSE(anchor());
  field.element = nullptr;
  EXPECT_FALSE(anchor());

  desk.ui.screen = Rect{0, 0, 1920, 1080};
  EXPECT_EQ(panel.flipped({5, 30, 20, 10}), (Rect{5, 1040, 20, 10}));
  desk.ui.screen.reset();
  EXPECT_EQ(panel.flipped({5, 30, 20, 10}), (Rect{5, 30, 20, 10}));
}

TEST_F(CaretPanelTest, ThePanelIsAsWideAsTheWidestTextWhileTheDotsCycle) {
  panel.present("zel.", {40, 60}, "zel...");
  panel.startAnimating("zel");
  ASSERT_EQ(desk.ui.panels.size(), 1u);
  const auto& shown = *desk.ui.panels[0];
  EXPECT_EQ(shown.frame, (Rect{40, 60, 6 * 7 + 22, 22}));
  EXPECT_EQ(shown.labelSize, (platform::Size{6 * 7, 15}));
  desk.clock.advance(0.39);
  EXPECT_EQ(texts(), Texts{"zel."});
  desk.clock.advance(0.01 + 0.4 * 2);
  EXPECT_EQ(texts(), (Texts{"zel.", "zel..", "zel...", "zel."}));
  EXPECT_EQ(desk.ui.panels.size(), 1u);  // the text changes in place
  desk.clock.advance(0.4);               // "zel..": the next animation still starts at one dot

  panel.hide();
  panel.hide();
  EXPECT_FALSE(panel.showing());
  EXPECT_FALSE(shown.open);
  EXPECT_EQ(desk.clock.pendingTimers(), 0u);

  panel.present("안녕", {0, 0});  // without a widest text the panel fits its own
  EXPECT_EQ(desk.ui.panels.at(1)->frame, (Rect{0, 0, 2 * 7 + 22, 22}));
  panel.startAnimating("안녕");
  desk.clock.advance(0.4);
  EXPECT_EQ(texts(1), (Texts{"안녕", "안녕.."})) << "each animation starts from one dot";
}

TEST_F(CaretPanelTest, AFlashSitsBesideThePointerWithoutDots) {
  panel.flash("first", 3.0);
  EXPECT_EQ(desk.ui.panels.at(0)->frame, (Rect{112, 214, 5 * 7 + 22, 22}));
  desk.clock.advance(2.99);
  EXPECT_EQ(texts(), Texts{"first"});
}

TEST_F(CaretPanelTest, TimersDoNothingOnceThePanelObjectIsGone) {
  auto doomed = std::make_unique<CaretPanel>(desk.ui, desk.clock);
  doomed->present("zel.", {0, 0}, "zel...");
  doomed->startAnimating("zel");
  doomed.reset();
  EXPECT_FALSE(desk.ui.panels.at(0)->open);
  desk.clock.advance(5);
  EXPECT_EQ(texts(), Texts{"zel."});
}

}  // namespace

#include "field/AX.h"

#include <gtest/gtest.h>

#include "fake/FakeAccessibility.h"

namespace {

using fake::FakeElement;
using platform::ElementRef;

class AXReaders : public testing::Test {
 protected:
  fake::FakeAccessibility ax;
  std::shared_ptr<FakeElement> e = FakeElement::make("e");
};

TEST_F(AXReaders, AValueOfAnotherTypeReadsAsAbsent) {
  auto other = FakeElement::make("other");
  e->set("AXValue", 42.0).set("AXTitle", ElementRef(other)).set("AXRole", std::string("AXGroup"));
  EXPECT_FALSE(AX::string(ax, e, "AXValue"));
  EXPECT_FALSE(AX::string(ax, e, "AXTitle"));
  EXPECT_EQ(AX::string(ax, e, "AXRole"), "AXGroup");
  EXPECT_FALSE(AX::element(ax, e, "AXRole"));
  EXPECT_EQ(AX::element(ax, e, "AXTitle"), ElementRef(other));
  e->set("AXSelectedTextRange", platform::Point{1, 2});
  EXPECT_FALSE(AX::range(ax, e, "AXSelectedTextRange"));
  e->set("AXSelectedTextRange", platform::TextRange{3, 4});
  EXPECT_EQ(AX::range(ax, e, "AXSelectedTextRange"), (platform::TextRange{3, 4}));
  EXPECT_FALSE(AX::rect(ax, e, "AXSelectedTextRange"));
}

TEST_F(AXReaders, FailedCallsMissingAttributesAndNoElementReadAsAbsent) {
  e->set("AXValue", std::string("text"));
  e->failing.insert("AXValue");
  EXPECT_FALSE(AX::string(ax, e, "AXValue"));
  EXPECT_FALSE(AX::string(ax, e, "AXDescription"));
  EXPECT_FALSE(AX::string(ax, nullptr, "AXValue"));
  EXPECT_FALSE(AX::element(ax, e, "AXParent"));
  e->set("AXParent", ElementRef());
  EXPECT_FALSE(AX::element(ax, e, "AXParent")) << "a null element is no element";
  EXPECT_FALSE(AX::isSettable(ax, e, "AXValue"));
}

TEST_F(AXReaders, ChildrenAreAnEmptyListOnAnyFailure) {
  EXPECT_TRUE(AX::children(ax, e).empty());
  auto child = FakeElement::make("child");
  e->addChild(child);
  EXPECT_EQ(AX::children(ax, e), std::vector<ElementRef>{child});
  e->set("AXChildren", std::vector<ElementRef>{nullptr, child});
  EXPECT_EQ(AX::children(ax, e), std::vector<ElementRef>{child}) << "no null children";
  e->failing.insert("AXChildren");
  EXPECT_TRUE(AX::children(ax, e).empty());
  e->failing.clear();
  e->set("AXChildren", std::string("not a list"));
  EXPECT_TRUE(AX::children(ax, e).empty());
}

TEST_F(AXReaders, BoundsForRangeHandsTheRangeOverAndWantsARectangle) {
  platform::TextRange asked;
  e->parameterized["AXBoundsForRange"] = [&](const platform::AXValue& p) {
    asked = std::get<platform::TextRange>(p);
    return std::optional<platform::AXValue>(platform::Rect{10, 20, 1, 16});
  };
  EXPECT_EQ(AX::boundsForRange(ax, e, {5, 0}), (platform::Rect{10, 20, 1, 16}));
  EXPECT_EQ(asked, (platform::TextRange{5, 0}));
  e->parameterized["AXBoundsForRange"] = [](const platform::AXValue&) {
    return std::optional<platform::AXValue>(platform::Point{1, 1});
  };
  EXPECT_FALSE(AX::boundsForRange(ax, e, {5, 0}));
}

TEST(AXWake, AProcessIsWokenOnceEvenAfterAFailedAttemptUntilItsPidIsForgotten) {
  AX::resetForTesting();
  fake::FakeAccessibility ax;
  AX::wakeAccessibility(ax, 20, false);  // refused: nothing settable
  auto app = std::dynamic_pointer_cast<FakeElement>(ax.application(20));
  app->settable = {"AXManualAccessibility"};
  AX::wakeAccessibility(ax, 20, false);
  EXPECT_TRUE(app->writes.empty());
  AX::wokenPids().erase(20);
  AX::wakeAccessibility(ax, 20, false);
  AX::wakeAccessibility(ax, 20, false);
  EXPECT_EQ(app->writes.size(), 1u);
}

}  // namespace

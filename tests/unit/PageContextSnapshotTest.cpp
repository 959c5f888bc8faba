#include <gtest/gtest.h>

#include "base/Log.h"
#include "fake/FakeAccessibility.h"
#include "field/PageContext.h"

namespace {

using fake::FakeElement;

std::shared_ptr<FakeElement> node(const std::string& role) {
  auto e = FakeElement::make(role);
  e->set("AXRole", role);
  return e;
}

std::shared_ptr<FakeElement> text(double y, double x, const std::string& value,
                                  const std::string& role = "AXStaticText") {
  auto e = node(role);
  e->set("AXValue", value).set("AXFrame", platform::Rect{x, y, 100, 20});
  return e;
}

// A mail reader: message lines nested in groups, a heading with only a title, texts without a
// frame or with an empty value, a search field, a quoted older mail, and the composer.
class PageContextSnapshot : public testing::Test {
 protected:
  void SetUp() override {
    app->addChild(window);
    window->addChild(toolbar);
    toolbar->addChild(text(5, 300, "Search everything", "AXTextField"));
    toolbar->addChild(text(5, 10, "Inbox — 3 unread"));
    window->addChild(thread);
    auto header = node("AXGroup");
    thread->addChild(header);
    auto heading = node("AXHeading");
    heading->set("AXTitle", std::string("Budget review")).set("AXFrame", platform::Rect{10, 40});
    header->addChild(heading);
    header->addChild(text(60, 10, "Kim Minsu <minsu@example.com>"));
    auto frameless = node("AXStaticText");
    frameless->set("AXValue", std::string("a text without a frame"));
    header->addChild(frameless);
    auto empty = text(70, 10, "");
    empty->set("AXTitle", std::string("a title behind an empty value"));
    header->addChild(empty);
    body = node("AXGroup");
    thread->addChild(body);
    for (int i = 0; i < 6; ++i)
      body->addChild(text(100 + 20 * i, 10 + i % 2,
                          "Line " + std::to_string(i) + " of the message about the budget."));
    body->addChild(text(300, 10, "-----Original Message-----"));
    body->addChild(text(320, 10, "The older mail that is quoted below the marker."));
    window->addChild(composerBox);
    composerBox->addChild(composer);
    composer->set("AXFrame", platform::Rect{10, 500, 600, 80});
    field.element = composer;
  }

  struct Result {
    std::optional<PageContext::Reading> reading;
    std::string logged;
    int calls = 0;
  };

  Result readWith(bool snapshots) {
    ax.snapshots = snapshots;
    ax.calls = 0;
    Log::Capture capture;
    auto reading = PageContext::read(ax, clock, field);
    return {reading, capture.records().back().message, ax.calls};
  }

  // The reading and its log line are the same with and without the snapshot.
  void expectSameBothWays(bool snapshotUsed = true) {
    auto walked = readWith(false);
    ax.snapshotReads = 0;
    auto bulk = readWith(true);
    EXPECT_EQ(bulk.reading, walked.reading);
    EXPECT_EQ(bulk.logged, walked.logged);
    if (snapshotUsed) {
      EXPECT_LT(bulk.calls, 5) << "only the composer's frame is asked one call at a time";
      EXPECT_GT(ax.snapshotReads, 0);
    } else {
      EXPECT_EQ(bulk.calls, walked.calls) << "the whole walk after a failed snapshot";
    }
  }

  fake::FakeAccessibility ax;
  ManualClock clock{0};
  std::shared_ptr<FakeElement> app = node("AXApplication");
  std::shared_ptr<FakeElement> window = node("AXWindow");
  std::shared_ptr<FakeElement> toolbar = node("AXGroup");
  std::shared_ptr<FakeElement> thread = node("AXGroup");
  std::shared_ptr<FakeElement> body;
  std::shared_ptr<FakeElement> composerBox = node("AXGroup");
  std::shared_ptr<FakeElement> composer = node("AXTextArea");
  FocusedField field;
};

TEST_F(PageContextSnapshot, ReadsWhatTheWalkReads) {
  auto reading = readWith(true).reading;
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->text.rfind("Inbox — 3 unread\nBudget review\nKim Minsu", 0), 0u);
  EXPECT_NE(reading->text.find("Line 5 of the message"), std::string::npos);
  EXPECT_EQ(reading->text.find("older mail"), std::string::npos);
  expectSameBothWays();
}

TEST_F(PageContextSnapshot, ClimbsAsFarAsTheWalkAndStopsAtAWebArea) {
  body->attributes.erase("AXChildren");  // too little text near the composer: climb on
  composerBox->addChild(text(450, 10, "To: Park Jiyoung"));
  expectSameBothWays();
  auto page = node("AXWebArea");
  window->attributes["AXChildren"] = std::vector<platform::ElementRef>{toolbar, thread, page};
  page->addChild(composerBox);
  expectSameBothWays();
}

TEST_F(PageContextSnapshot, KeepsTheWalksDepthLimitAndBudget) {
  auto deepest = body;
  for (int depth = 3; depth < 61; ++depth) {
    auto g = node("AXGroup");
    deepest->addChild(g);
    deepest = g;
  }
  deepest->addChild(text(90, 0, "a text deeper than the walk reaches"));
  auto crowd = node("AXGroup");
  thread->attributes["AXChildren"] = std::vector<platform::ElementRef>{crowd, body};
  for (int i = 0; i < 3990; ++i)
    crowd->addChild(node("AXImage"));
  crowd->addChild(text(20, 0, "within the budget, just"));
  expectSameBothWays();
}

TEST_F(PageContextSnapshot, FallsBackToTheWalkWhenTheSnapshotCannotAnswer) {
  thread->bulkChildren = false;
  expectSameBothWays(false);
  thread->bulkChildren = true;
  ax.snapshotReadsFail = true;
  expectSameBothWays(false);
}

TEST_F(PageContextSnapshot, ChildrenThatCannotBeListedOutsideTheWalkDoNotMatter) {
  auto elsewhere = node("AXWindow");
  app->addChild(elsewhere);
  elsewhere->bulkChildren = false;
  elsewhere->addChild(text(0, 0, "another window's text"));
  expectSameBothWays();
}

}  // namespace

#include "field/Clipboard.h"

#include <gtest/gtest.h>

#include "fake/FakeDesktop.h"
#include "fake/RunTask.h"

namespace {

using platform::Pasteboard;
using platform::PasteboardItem;
using platform::Shortcut;

// Two items, one of them with an image beside its text, and bytes that are not text.
std::vector<PasteboardItem> richClipboard() {
  return {{{"image/png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
           {Pasteboard::kStringType, "caption"},
           {"text/html", "<b>caption</b>"}},
          {{"text/uri-list", "file:///home/u/a.png\r\n"},
           {"x-special/gnome-copied-files", "copy\nfile:///home/u/a.png"}}};
}

class ClipboardBorrowing : public testing::Test {
 protected:
  void SetUp() override { desk.pasteboard.contents = richClipboard(); }
  std::optional<std::string> copy(double* elapsed = nullptr, bool terminal = false) {
    return fake::runToEnd(desk.clock, Clipboard::copySelection(desk.platform(), terminal), elapsed);
  }
  bool paste(const std::string& text, double* elapsed = nullptr) {
    return fake::runToEnd(desk.clock, Clipboard::paste(desk.platform(), text), elapsed);
  }
  fake::FakeDesktop desk;
};

TEST_F(ClipboardBorrowing, ACopyReturnsTheSelectionAndRestoresEveryItemByteForByte) {
  desk.keyboard.onShortcut = [&](Shortcut s) {
    ASSERT_EQ(s, Shortcut::copy);
    EXPECT_TRUE(desk.pasteboard.contents.empty()) << "cleared before the copy";
    desk.pasteboard.setString("the selection");
  };
  double elapsed = 0;
  EXPECT_EQ(copy(&elapsed), "the selection");
  EXPECT_EQ(desk.pasteboard.contents, richClipboard());
  EXPECT_EQ(desk.keyboard.posted, std::vector<Shortcut>{Shortcut::copy});
  EXPECT_DOUBLE_EQ(elapsed, Clipboard::kShortcutWait);
}

TEST_F(ClipboardBorrowing, ACopyOfNothingOrThatArrivesLateIsAbsentAndTheClipboardIsBack) {
  EXPECT_FALSE(copy());
  EXPECT_EQ(desk.pasteboard.contents, richClipboard());
  desk.keyboard.onShortcut = [&](Shortcut) {
    desk.clock.schedule(0.121, [&] { desk.pasteboard.setString("too late"); });
  };
  EXPECT_FALSE(copy());
  EXPECT_EQ(desk.pasteboard.contents, richClipboard());
}

TEST_F(ClipboardBorrowing, APasteOffersTheTextMarkedTransientThenRestores) {
  std::vector<PasteboardItem> offered;
  desk.keyboard.onShortcut = [&](Shortcut s) {
    ASSERT_EQ(s, Shortcut::paste);
    offered = desk.pasteboard.contents;
  };
  double elapsed = 0;
  paste("답장 본문", &elapsed);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0], (PasteboardItem{{Pasteboard::kStringType, "답장 본문"},
                                        {Pasteboard::kTransientType, "secret"}}));
  EXPECT_EQ(desk.pasteboard.contents, richClipboard());
  EXPECT_DOUBLE_EQ(elapsed, Clipboard::kShortcutWait);
}

TEST_F(ClipboardBorrowing, AHeldBackShortcutIsAwaitedBeforeTheWaitAndTheRestore) {
  desk.keyboard.shortcutDelay = 0.3;
  std::vector<PasteboardItem> offered;
  desk.keyboard.onShortcut = [&](Shortcut s) {
    if (s == Shortcut::paste) offered = desk.pasteboard.contents;
    if (s == Shortcut::copy) desk.pasteboard.setString("late selection");
  };
  double elapsed = 0;
  EXPECT_TRUE(paste("답장", &elapsed));
  ASSERT_EQ(offered.size(), 1u) << "the paste found the answer, not the user's clipboard";
  EXPECT_EQ(offered[0][0], (std::pair<std::string, std::string>{Pasteboard::kStringType, "답장"}));
  EXPECT_EQ(desk.pasteboard.contents, richClipboard());
  EXPECT_DOUBLE_EQ(elapsed, 0.3 + Clipboard::kShortcutWait);

  EXPECT_EQ(copy(), "late selection");
  EXPECT_EQ(desk.pasteboard.contents, richClipboard()) << "the copy did not land after the restore";
}

TEST_F(ClipboardBorrowing, AShortcutThatCannotBeSentFailsAtOnceAndRestores) {
  desk.keyboard.refused = {Shortcut::copy, Shortcut::copyInTerminal, Shortcut::paste};
  double elapsed = -1;
  EXPECT_FALSE(paste("x", &elapsed));
  EXPECT_EQ(elapsed, 0);
  EXPECT_FALSE(copy(nullptr, true));
  EXPECT_EQ(desk.pasteboard.contents, richClipboard());
  EXPECT_TRUE(desk.keyboard.posted.empty());
}

// A platform that reports the awaited clipboard event ends the wait early.
class EventfulPasteboard : public fake::FakePasteboard {
 public:
  explicit EventfulPasteboard(Clock& clock) : clock_(clock) {}
  Task<bool> awaitOwnerChange(Clock&, double) override {
    co_await sleepFor(clock_, 0.001);
    co_return true;
  }
  Task<bool> awaitFetch(Clock&, double) override {
    co_await sleepFor(clock_, 0.005);
    co_return true;
  }

 private:
  Clock& clock_;
};

// A clipboard that cannot be read whole is left as it is: no copy, no paste, no partial restore.
TEST_F(ClipboardBorrowing, AClipboardReadOnlyInPartIsNotBorrowed) {
  desk.pasteboard.cutShort = true;
  EXPECT_FALSE(copy());
  paste("draft");
  EXPECT_TRUE(desk.keyboard.posted.empty());
  EXPECT_EQ(desk.pasteboard.contents, richClipboard());
  EXPECT_EQ(desk.pasteboard.changeCount, 0);
}

TEST(ClipboardEvents, AReportedEventEndsTheWaitEarlyWithTheSameResult) {
  fake::FakeDesktop desk;
  EventfulPasteboard pasteboard(desk.clock);
  pasteboard.contents = richClipboard();
  auto eventful = desk.platform(nullptr, nullptr, &pasteboard);
  desk.keyboard.onShortcut = [&](Shortcut) { pasteboard.setString("picked"); };
  double elapsed = 0;
  EXPECT_EQ(fake::runToEnd(desk.clock, Clipboard::copySelection(eventful), &elapsed), "picked");
  EXPECT_DOUBLE_EQ(elapsed, 0.001);
  EXPECT_EQ(pasteboard.contents, richClipboard());
}

}  // namespace

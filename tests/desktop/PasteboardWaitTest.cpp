// The clipboard waits of copy and paste against another program; the clock is a ManualClock,
// so each wait can end only on what the other program does, or when the test advances it.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "DesktopPeer.h"
#include "FixtureApp.h"
#include "platform/linux/GtkPasteboard.h"

namespace {

using desktoptest::pumpUntil;

struct Waiting {
  bool done = false;
  bool early = false;
};

std::shared_ptr<Waiting> start(Task<bool> wait) {
  auto w = std::make_shared<Waiting>();
  spawn([](Task<bool> t, std::shared_ptr<Waiting> w) -> Task<void> {
    w->early = co_await std::move(t);
    w->done = true;
  }(std::move(wait), w));
  return w;
}

class PasteboardWaits : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gtk_init_check(nullptr, nullptr)) GTEST_SKIP() << "no display";
  }
  ManualClock clock;
};

TEST_F(PasteboardWaits, ACopyWaitEndsWhenAnotherProgramTakesTheClipboard) {
  linuxport::GtkPasteboard pb;
  pb.clearContents();
  auto w = start(pb.awaitOwnerChange(clock, 0.12));
  pb.writeItems({{{platform::Pasteboard::kStringType, "Mirelo itself"}}});
  EXPECT_FALSE(pumpUntil([&] { return w->done; }, 300)) << "Mirelo's own change ended it";

  desktoptest::Peer owner({"--target", "UTF8_STRING=/dev/null"});
  ASSERT_TRUE(owner.ready());
  ASSERT_TRUE(pumpUntil([&] { return w->done; }));
  EXPECT_TRUE(w->early);
}

TEST_F(PasteboardWaits, APasteWaitLastsUntilTheFetchesStop) {
  linuxport::GtkPasteboard pb;
  pb.writeItems({{{platform::Pasteboard::kStringType, "붙일 글"}}});
  auto w = start(pb.awaitFetch(clock, 1.0));
  ASSERT_FALSE(w->done);
  EXPECT_NE(desktoptest::runPeer({"--read", "UTF8_STRING"}), "-");
  clock.advance(0.05);
  EXPECT_FALSE(w->done);
  // A browser fetches a second time before it pastes: the wait starts again.
  EXPECT_NE(desktoptest::runPeer({"--read", "UTF8_STRING"}), "-");
  clock.advance(0.05);
  EXPECT_FALSE(w->done);
  clock.advance(0.02);
  EXPECT_TRUE(w->done);
  EXPECT_TRUE(w->early);
}

}  // namespace

// The bounded turn of the main loop that lets a write under way finish before the program ends.
#include <gtest/gtest.h>

#include "platform/linux/LinuxDesktop.h"

namespace {

TEST(MainLoopBoundTest, EndsWhenDoneHoldsOrWhenTheTimeIsUp) {
  GLibClock clock;
  bool done = false;
  clock.post([&] { done = true; });
  EXPECT_TRUE(linuxport::runMainLoopUntil([&] { return done; }, clock, 3600));

  bool never = false;
  EXPECT_FALSE(linuxport::runMainLoopUntil([&] { return never; }, clock, 0));
}

}  // namespace

#include "feedback/Diagnostics.h"

#include <gtest/gtest.h>

namespace {

class DiagnosticsLog : public ::testing::Test {
 protected:
  void SetUp() override { Diagnostics::resetForTesting(); }
  void TearDown() override { Diagnostics::resetForTesting(); }
};

// 2026-12-06 09:05:07 UTC; the unit tests run with TZ=UTC.
constexpr double kAt = 1796547907;

TEST_F(DiagnosticsLog, KeepsTheTwentyNewestNewestFirst) {
  EXPECT_EQ(Diagnostics::summary(), "아직 기록이 없습니다");
  for (int i = 1; i <= 25; ++i)
    Diagnostics::add({kAt + i, "app" + std::to_string(i), "AX 값", "붙여넣기", ""});
  const auto& entries = Diagnostics::entries();
  ASSERT_EQ(entries.size(), 20u);
  EXPECT_EQ(entries.front().appName, "app25");
  EXPECT_EQ(entries.back().appName, "app6");
  auto summary = Diagnostics::summary();
  EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 19);
  EXPECT_EQ(summary.rfind("09:05:32  app25", 0), 0u);
}

}  // namespace

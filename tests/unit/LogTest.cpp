#include "base/Log.h"

#include <gtest/gtest.h>

namespace {

TEST(LogFormat, RendersTheProgramsDirectives) {
  EXPECT_EQ(Log::format("트리거 실행 (%{public}s)", {std::string("다듬기")}),
            "트리거 실행 (다듬기)");
  EXPECT_EQ(Log::format("%ld자, %ldms", {std::int64_t{12}, std::int64_t{-3}}), "12자, -3ms");
  EXPECT_EQ(Log::format("ready %{bool}d", {true}), "ready true");
  EXPECT_EQ(Log::format("ready %{bool}d", {std::int64_t{0}}), "ready false");
  EXPECT_EQ(Log::format("type %u", {std::uint64_t{0xFFFFFFFE}}), "type 4294967294");
  EXPECT_EQ(Log::format("%.1f%%", {42.25}), "42.2%");
  EXPECT_EQ(Log::format("code %X", {std::uint64_t{255}}), "code FF");
}

TEST(LogFormat, MissingAndUnknownDirectivesDoNotCrash) {
  EXPECT_EQ(Log::format("%{public}s and %ld", {std::string("a")}), "a and <missing>");
  EXPECT_EQ(Log::format("100% sure %q", {}), "100% sure %q");
  EXPECT_EQ(Log::format("trailing %", {}), "trailing %");
  EXPECT_EQ(Log::format("%{public", {}), "%{public");
}

// A report printed on stdout turns stderr off, so a terminal shows each line once.
TEST(LogStderr, TurnedOffWritesNothingThere) {
  testing::internal::CaptureStderr();
  Log::setStderrEnabled(false);
  Log::app.notice("꺼진 동안의 줄");
  Log::setStderrEnabled(true);
  Log::app.notice("다시 켠 뒤의 줄");
  std::string written = testing::internal::GetCapturedStderr();
  EXPECT_EQ(written.find("꺼진 동안의 줄"), std::string::npos);
  EXPECT_NE(written.find("다시 켠 뒤의 줄"), std::string::npos);
}

}  // namespace

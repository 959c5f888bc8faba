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

TEST(LogCapture, KeepsCategoryLevelAndMessage) {
  Log::Capture capture;
  Log::app.info("트리거 → %{public}s", "다듬기");
  Log::trigger.error("시스템이 탭을 껐습니다 (type %u) — 다시 켭니다", 0xFFFFFFFFu);
  Log::api.notice("%ld자", 7L);
  ASSERT_EQ(capture.records().size(), 3u);
  EXPECT_TRUE(capture.contains("app", Log::Level::info, "트리거 → 다듬기"));
  EXPECT_TRUE(capture.contains("trigger", Log::Level::error,
                               "시스템이 탭을 껐습니다 (type 4294967295) — 다시 켭니다"));
  EXPECT_TRUE(capture.contains("api", Log::Level::notice, "7자"));
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

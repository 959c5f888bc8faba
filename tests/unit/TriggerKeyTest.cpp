#include <gtest/gtest.h>

#include <algorithm>

#include "fake/FakeDesktop.h"
#include "fake/RunTask.h"
#include "feedback/SelfTest.h"
#include "trigger/TriggerKey.h"
#include "trigger/TriggerMode.h"

namespace {

TEST(TriggerKeys, RawValuesMatchExactlyAndRoundTrip) {
  for (TriggerKey key : kAllTriggerKeys)
    EXPECT_EQ(fromRaw<TriggerKey>(rawValue(key)), key);
  EXPECT_EQ(fromRaw<TriggerKey>("AltRight"), TriggerKey::altRight);
  for (auto raw : {"altright", "Alt Right", " AltRight", "", "CapsLock"})
    EXPECT_FALSE(fromRaw<TriggerKey>(raw)) << raw;
  EXPECT_FALSE(fromRaw<TriggerMode>("Double"));
}

TEST(InputMethodKeysyms, KoreanJapaneseAndGroupSwitchesButNotPlainModifiers) {
  for (const char* ime : {"Hangul", "Hangul_Hanja", "Henkan_Mode", "Zenkaku_Hankaku",
                          "ISO_Next_Group", "ISO_First_Group_Lock", "Multi_key"})
    EXPECT_TRUE(isInputMethodKeysym(ime)) << ime;
  for (const char* plain : {"Alt_R", "Control_R", "ISO_Level3_Shift", "Meta_L", "Super_R", ""})
    EXPECT_FALSE(isInputMethodKeysym(plain)) << plain;
}

TEST(InputMethodKeysyms, TheDiagnosisNamesTheConflictAndSuggestsAFreeKey) {
  fake::FakeDesktop desk;
  desk.keyboard.keysyms[1] = "Hangul";        // right Alt
  desk.keyboard.keysyms[3] = "Hangul_Hanja";  // right Ctrl
  std::vector<std::string> lines;
  auto diagnose = [&] {
    lines.clear();
    fake::runToEnd(desk.clock, SelfTest::run(desk.platform(), {"--diagnose"},
                                             [&](const auto& l) { lines.push_back(l); }));
  };
  diagnose();
  auto said = [&](std::string_view text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  };
  EXPECT_TRUE(
      said("✗ 트리거 키 충돌: 오른쪽 Alt 키가 지금 입력기 전환 키(Hangul)로 쓰입니다 — "
           "한/영·한자 전환과 겹치므로 이 키로는 트리거하지 않습니다"));
  EXPECT_TRUE(said("  → 다른 트리거 키를 고르세요 (예: 오른쪽 Super)"));

  desk.keyboard.keysyms[1] = "Alt_R";
  diagnose();
  for (const auto& line : lines)
    EXPECT_EQ(line.find("충돌"), std::string::npos) << line;
}

}  // namespace

#include <gtest/gtest.h>

#include "trigger/TriggerKey.h"
#include "trigger/TriggerMode.h"

namespace {

TEST(TriggerKeys, RawValuesMatchExactlyAndRoundTrip) {
  for (TriggerKey key : kAllTriggerKeys)
    EXPECT_EQ(fromRaw<TriggerKey>(rawValue(key)), key);
  EXPECT_EQ(fromRaw<TriggerKey>("AltRight"), TriggerKey::altRight);
  EXPECT_FALSE(fromRaw<TriggerKey>("altright"));
  EXPECT_FALSE(fromRaw<TriggerKey>("Alt Right"));
  EXPECT_FALSE(fromRaw<TriggerKey>(" AltRight"));
  EXPECT_FALSE(fromRaw<TriggerKey>(""));
  EXPECT_FALSE(fromRaw<TriggerKey>("CapsLock"));
}

TEST(TriggerKeys, AllEightInTableOrder) {
  std::vector<std::string_view> raws;
  for (TriggerKey key : kAllTriggerKeys)
    raws.push_back(rawValue(key));
  EXPECT_EQ(raws,
            (std::vector<std::string_view>{"AltLeft", "AltRight", "ControlLeft", "ControlRight",
                                           "ShiftLeft", "ShiftRight", "MetaLeft", "MetaRight"}));
  EXPECT_EQ(kDefaultTriggerKey, TriggerKey::altRight);
}

TEST(TriggerKeys, DisplayNamesUseTheSideAndTheDesktopsKeyWords) {
  EXPECT_EQ(display(TriggerKey::altRight), "오른쪽 Alt");
  EXPECT_EQ(display(TriggerKey::controlRight), "오른쪽 Ctrl");
  EXPECT_EQ(display(TriggerKey::metaLeft), "왼쪽 Super");
  EXPECT_EQ(display(TriggerKey::shiftLeft), "왼쪽 Shift");
}

TEST(TriggerKeys, KeyCodesAndFlagsPerSide) {
  EXPECT_EQ(keyCode(TriggerKey::altRight), 61);
  EXPECT_EQ(keyCode(TriggerKey::metaRight), 54);
  EXPECT_EQ(keyCode(TriggerKey::shiftLeft), 56);
  EXPECT_EQ(pairFlags(TriggerKey::controlLeft), 0x2001u);
  EXPECT_EQ(sideFlag(TriggerKey::controlRight), 0x2000u);
  EXPECT_EQ(sideFlag(TriggerKey::altLeft), 0x20u);
  EXPECT_EQ(modifierFlag(TriggerKey::metaLeft), 0x100000u);
  // Each side bit belongs to its own pair and to no other.
  for (TriggerKey key : kAllTriggerKeys) {
    EXPECT_EQ(pairFlags(key) & sideFlag(key), sideFlag(key)) << rawValue(key);
    for (TriggerKey other : kAllTriggerKeys) {
      if (modifierFlag(other) != modifierFlag(key)) {
        EXPECT_EQ(pairFlags(other) & sideFlag(key), 0u);
      }
    }
  }
}

TEST(TriggerModes, RawValuesMatchExactly) {
  EXPECT_EQ(fromRaw<TriggerMode>("double"), TriggerMode::double_);
  EXPECT_EQ(fromRaw<TriggerMode>("off"), TriggerMode::off);
  EXPECT_FALSE(fromRaw<TriggerMode>("Double"));
  EXPECT_FALSE(fromRaw<TriggerMode>(""));
  EXPECT_EQ(rawValue(TriggerMode::single), "single");
  EXPECT_EQ(kDefaultTriggerMode, TriggerMode::single);
}

}  // namespace

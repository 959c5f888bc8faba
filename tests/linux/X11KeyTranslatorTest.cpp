#include "platform/linux/X11KeyTranslator.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/ModifierKey.h"

namespace {

using platform::ModifierKey;

// Xvfb's evdev key codes, in kAllModifierKeys order.
constexpr std::array<int, 8> kCodes = {64, 108, 37, 105, 50, 62, 133, 134};
constexpr int kLetterA = 38;

// An event as "flags KEYCODE 0xFLAGS" or "key-down KEYCODE 0xFLAGS"; "none" for no event.
std::string shown(const std::optional<platform::KeyEvent>& e) {
  if (!e) return "none";
  char text[64];
  std::snprintf(text, sizeof text, "%s %u 0x%llx",
                e->type == platform::KeyEventType::flagsChanged ? "flags" : "key-down",
                unsigned(e->keyCode), static_cast<unsigned long long>(e->flags));
  return text;
}

std::string flags(ModifierKey key, const char* bits) {
  return "flags " + std::to_string(platform::keyCode(key)) + " " + bits;
}

class X11KeyTranslatorTest : public ::testing::Test {
 protected:
  void SetUp() override { t.setTriggerKeycodes(kCodes); }
  linuxport::X11KeyTranslator t;
};

TEST_F(X11KeyTranslatorTest, ModifierChangesCarryTheKeyCodeAndEveryHeldModifiersBits) {
  EXPECT_EQ(shown(t.press(108)), flags(ModifierKey::altRight, "0x80040"));
  EXPECT_EQ(shown(t.press(50)), flags(ModifierKey::shiftLeft, "0xa0042"));
  EXPECT_EQ(shown(t.release(108)), flags(ModifierKey::altRight, "0x20002"));
}

TEST_F(X11KeyTranslatorTest, BothAltsDownKeepTheModifierMaskUntilTheLastGoesUp) {
  t.press(64);
  t.press(108);
  EXPECT_EQ(shown(t.release(64)), flags(ModifierKey::altLeft, "0x80040"));
  EXPECT_EQ(shown(t.release(108)), flags(ModifierKey::altRight, "0x0"));
}

TEST_F(X11KeyTranslatorTest, OrdinaryKeysAreKeyDownsAndTheirReleasesAreSilent) {
  t.press(105);
  EXPECT_EQ(shown(t.press(kLetterA)), "key-down 38 0x42000");
  EXPECT_EQ(shown(t.release(kLetterA)), "none");
}

TEST_F(X11KeyTranslatorTest, UnknownAndRepeatedEventsGiveNothing) {
  EXPECT_FALSE(t.release(108)) << "release of a key not known to be down";
  ASSERT_TRUE(t.press(108));
  EXPECT_FALSE(t.press(108)) << "repeated press of a held modifier";
  ASSERT_TRUE(t.release(108));
  EXPECT_FALSE(t.release(108)) << "repeated release";
  EXPECT_FALSE(t.press(0));
  EXPECT_FALSE(t.press(300));
  t.press(133);
  t.reset();
  EXPECT_FALSE(t.release(133)) << "a new connection starts from nothing";
}

TEST_F(X11KeyTranslatorTest, TriggerKeysFollowThePhysicalKeyNotTheKeysym) {
  // A layout where right Alt sits on another code: only the configured code is the trigger.
  auto codes = kCodes;
  codes[1] = 92;
  t.setTriggerKeycodes(codes);
  EXPECT_EQ(shown(t.press(108)), "key-down 108 0x0");
  EXPECT_EQ(shown(t.press(92)), flags(ModifierKey::altRight, "0x80040"));
}

}  // namespace

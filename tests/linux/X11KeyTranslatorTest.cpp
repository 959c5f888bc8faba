#include "platform/linux/X11KeyTranslator.h"

#include <gtest/gtest.h>

#include "platform/ModifierKey.h"

namespace {

using platform::KeyEventType;
using platform::ModifierKey;

// Xvfb's evdev key codes, in kAllModifierKeys order.
constexpr std::array<int, 8> kCodes = {64, 108, 37, 105, 50, 62, 133, 134};
constexpr int kLetterA = 38;

linuxport::X11KeyTranslator translator() {
  linuxport::X11KeyTranslator t;
  t.setTriggerKeycodes(kCodes);
  return t;
}

TEST(X11KeyTranslator, ModifierChangesCarryTheKeyCodeAndEveryHeldModifiersBits) {
  auto t = translator();
  auto altDown = t.press(108);
  ASSERT_TRUE(altDown);
  EXPECT_EQ(altDown->type, KeyEventType::flagsChanged);
  EXPECT_EQ(altDown->keyCode, platform::keyCode(ModifierKey::altRight));
  EXPECT_EQ(altDown->flags, 0x40u | 0x80000u);

  auto shiftDown = t.press(50);
  ASSERT_TRUE(shiftDown);
  EXPECT_EQ(shiftDown->keyCode, platform::keyCode(ModifierKey::shiftLeft));
  EXPECT_EQ(shiftDown->flags, 0x40u | 0x80000u | 0x2u | 0x20000u);

  auto altUp = t.release(108);
  ASSERT_TRUE(altUp);
  EXPECT_EQ(altUp->keyCode, platform::keyCode(ModifierKey::altRight));
  EXPECT_EQ(altUp->flags, 0x2u | 0x20000u);
}

TEST(X11KeyTranslator, BothAltsDownKeepTheModifierMaskUntilTheLastGoesUp) {
  auto t = translator();
  t.press(64);
  t.press(108);
  auto leftUp = t.release(64);
  ASSERT_TRUE(leftUp);
  EXPECT_EQ(leftUp->flags, 0x40u | 0x80000u);
  EXPECT_EQ(t.release(108)->flags, 0u);
}

TEST(X11KeyTranslator, OrdinaryKeysAreKeyDownsAndTheirReleasesAreSilent) {
  auto t = translator();
  t.press(105);
  auto a = t.press(kLetterA);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->type, KeyEventType::keyDown);
  EXPECT_EQ(a->flags, 0x2000u | 0x40000u);
  EXPECT_FALSE(t.release(kLetterA));
}

TEST(X11KeyTranslator, UnknownAndRepeatedEventsGiveNothing) {
  auto t = translator();
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

TEST(X11KeyTranslator, TriggerKeysFollowThePhysicalKeyNotTheKeysym) {
  // A layout where right Alt sits on another code: only the configured code is the trigger.
  auto codes = kCodes;
  codes[1] = 92;
  linuxport::X11KeyTranslator t;
  t.setTriggerKeycodes(codes);
  EXPECT_EQ(t.press(108)->type, KeyEventType::keyDown);
  EXPECT_EQ(t.press(92)->keyCode, platform::keyCode(ModifierKey::altRight));
}

}  // namespace

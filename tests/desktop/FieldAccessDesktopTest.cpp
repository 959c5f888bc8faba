// Reading and writing real GTK fields through the field layer, with the real clipboard and keys.
#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "field/Insert.h"

namespace {

using desktoptest::FixtureApp;
using desktoptest::runOnLoop;

class FieldAccessDesktop : public desktoptest::DesktopSession {
 protected:
  InsertResult write(const std::string& text, const FocusedField& field) {
    return runOnLoop(Insert::write(desk->platform(), text, field));
  }
};

TEST_F(FieldAccessDesktop, ReadsTheSelectionOrTheValueAndWritesTheWholeText) {
  FixtureApp app({"--windows=editor", "--focus=text", "--text=안녕하세요 팀 여러분, 내일 봬요 👋"});
  ASSERT_TRUE(app.ready());
  ASSERT_TRUE(focusOn(app, "text", "AXTextArea"));
  app.select("text", 6, 13);  // "팀 여러분, " in characters
  auto field = read();
  EXPECT_EQ(field.readMethod, FocusedField::ReadMethod::axSelected);
  EXPECT_EQ(field.selectedText, "팀 여러분, ");
  EXPECT_EQ(field.target(), "팀 여러분, ");
  EXPECT_EQ(field.selectedRange, (platform::TextRange{6, 7}));

  app.select("text", 0, 0);
  field = read();
  EXPECT_EQ(field.readMethod, FocusedField::ReadMethod::axValue);
  EXPECT_EQ(field.value, "안녕하세요 팀 여러분, 내일 봬요 👋");
  EXPECT_EQ(field.pid, app.pid());
  auto result = write("다듬은 답글입니다 ✨", field);
  ASSERT_TRUE(result.isInserted());
  EXPECT_EQ(app.text("text"), "다듬은 답글입니다 ✨");
  EXPECT_EQ(AppMemory::working(field.bundleID), result.method());
}

TEST_F(FieldAccessDesktop, LeavesTheAnswerOnTheClipboardWhenTheFieldIsGone) {
  auto app = std::make_unique<FixtureApp>(std::vector<std::string>{"--entry=초안"});
  ASSERT_TRUE(app->ready());
  ASSERT_TRUE(focusOn(*app, "entry", "AXTextField"));
  app->select("entry", 0, 0);
  auto field = read();
  app.reset();  // the user closed the window
  FixtureApp other({"--entry=다른 앱"});
  ASSERT_TRUE(other.ready());
  desk->workspace.activate(other.pid());
  auto result = write("남겨 둘 답글", field);
  EXPECT_TRUE(result.isLeftOnClipboard());
  EXPECT_EQ(desk->pasteboard.string(), "남겨 둘 답글");
}

}  // namespace

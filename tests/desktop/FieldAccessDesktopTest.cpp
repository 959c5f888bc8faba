// Reading and writing real GTK fields through the field layer, with the real clipboard and keys.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DesktopSession.h"
#include "field/Clipboard.h"
#include "field/Insert.h"

namespace {

using desktoptest::FixtureApp;
using desktoptest::pumpUntil;
using desktoptest::runOnLoop;

class FieldAccessDesktop : public desktoptest::DesktopSession {
 protected:
  InsertResult write(const std::string& text, const FocusedField& field) {
    return runOnLoop(Insert::write(desk->platform(), text, field));
  }
  ManualClock clock;  // outlives the desktop, whose clipboard waits may still use it
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

// A clipboard holding text, HTML and a PNG survives many borrowings byte for byte. The copy
// and paste waits run on the test's clock: only the application's answer ends them.
TEST_F(FieldAccessDesktop, ClipboardSurvivesAHundredCopiesAndPastes) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(std::getenv("MIRELO_SESSION_ROOT")) / "clip";
  fs::create_directories(dir);
  std::ofstream(dir / "text", std::ios::binary) << "사용자의 클립보드 📋";
  std::ofstream(dir / "html", std::ios::binary) << "<p>사용자의 <b>클립보드</b></p>";
  std::ofstream(dir / "png", std::ios::binary)
      << std::string("\x89PNG\r\n\x1a\n", 8) + std::string(70000, '\x01') + std::string(3, '\0');
  std::vector<platform::PasteboardItem> before;
  {
    FixtureApp owner({"--clipboard=UTF8_STRING=" + (dir / "text").string() + ",text/html=" +
                      (dir / "html").string() + ",image/png=" + (dir / "png").string()});
    ASSERT_TRUE(owner.ready());
    before = desk->pasteboard.items();
    desk->pasteboard.writeItems(before);  // Mirelo keeps serving it after the owner quits
  }
  ASSERT_EQ(before.size(), 1u);
  ASSERT_EQ(before[0].size(), 3u);

  FixtureApp app({"--entry=복사할 글"});
  ASSERT_TRUE(app.ready());
  ASSERT_TRUE(focusOn(app, "entry", "AXTextField"));
  platform::Platform p{
      clock,          desk->accessibility, desk->keyboard, desk->pasteboard, desk->workspace,
      desk->defaults, desk->secrets,       desk->notifier, desk->http,       desk->ui,
      desk->webViews, desk->updater};
  for (int i = 0; i < 100; ++i) {
    app.select("entry", 0, 5);
    ASSERT_EQ(runOnLoop(Clipboard::copySelection(p)), "복사할 글") << "round " << i;
    ASSERT_EQ(desk->pasteboard.items(), before) << "after copy " << i;
    app.select("entry", 0, 5);
    const std::string text = "붙인 글 " + std::to_string(i);
    auto pasted = desktoptest::start(Clipboard::paste(p, text));
    ASSERT_TRUE(pumpUntil([&] { return app.text("entry") == text; }, 10000)) << app.text("entry");
    clock.advance(1);  // the application has fetched all it wanted
    ASSERT_EQ(*pasted, true);
    ASSERT_EQ(desk->pasteboard.items(), before) << "after paste " << i;
    app.set("entry", "복사할 글");
  }
}

}  // namespace

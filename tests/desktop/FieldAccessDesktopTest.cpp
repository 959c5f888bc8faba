// Reading, writing and page context on real GTK fields, with the real clipboard and keys.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <fstream>

#include "DesktopPeer.h"
#include "DesktopSession.h"
#include "FixtureApp.h"
#include "field/AX.h"
#include "field/AppMemory.h"
#include "field/Clipboard.h"
#include "field/Focus.h"
#include "field/Insert.h"
#include "field/PageContext.h"
#include "platform/linux/LinuxDesktop.h"

namespace {

using desktoptest::FixtureApp;
using desktoptest::pumpUntil;
using desktoptest::runOnLoop;

class FieldAccessDesktop : public desktoptest::DesktopSession {
 protected:
  InsertResult write(const std::string& text, const FocusedField& field) {
    return runOnLoop(Insert::write(desk->platform(), text, field));
  }
};

TEST_F(FieldAccessDesktop, ReadsTheValueOrTheSelection) {
  FixtureApp app({"--windows=editor", "--focus=text", "--text=안녕하세요 팀 여러분, 내일 봬요 👋"});
  ASSERT_TRUE(app.ready());
  focusOn(app, "text", "AXTextArea");
  app.select("text", 0, 0);
  auto field = read();
  EXPECT_EQ(field.readMethod, FocusedField::ReadMethod::axValue);
  EXPECT_EQ(field.value, "안녕하세요 팀 여러분, 내일 봬요 👋");
  EXPECT_EQ(field.pid, app.pid());

  app.select("text", 6, 13);  // "팀 여러분, " in characters
  field = read();
  EXPECT_EQ(field.readMethod, FocusedField::ReadMethod::axSelected);
  EXPECT_EQ(field.selectedText, "팀 여러분, ");
  EXPECT_EQ(field.target(), "팀 여러분, ");
  EXPECT_EQ(field.selectedRange, (platform::TextRange{6, 7}));
}

TEST_F(FieldAccessDesktop, PlaceholderOnlyAndEmptyFieldsAskForAReply) {
  FixtureApp app(
      {"--windows=editor", "--focus=entry", "--entry=", "--placeholder=메시지를 입력하세요"});
  ASSERT_TRUE(app.ready());
  focusOn(app, "entry", "AXTextField");
  auto f = failure();
  ASSERT_EQ(f.kind(), Focus::ReadFailure::Kind::empty);
  EXPECT_EQ(f.field().value, "");
  EXPECT_EQ(f.field().readMethod, FocusedField::ReadMethod::axValue);

  app.set("entry", "  \n ");
  app.select("entry", 0, 0);
  EXPECT_EQ(failure().kind(), Focus::ReadFailure::Kind::empty);
}

TEST_F(FieldAccessDesktop, WritesTheWholeTextAndRemembersHow) {
  FixtureApp app({"--windows=editor", "--focus=entry", "--entry=고칠 초안"});
  ASSERT_TRUE(app.ready());
  focusOn(app, "entry", "AXTextField");
  app.select("entry", 0, 0);
  auto field = read();
  auto result = write("다듬은 답글입니다 ✨", field);
  ASSERT_TRUE(result.isInserted());
  EXPECT_EQ(app.text("entry"), "다듬은 답글입니다 ✨");
  EXPECT_EQ(AppMemory::working(field.bundleID), result.method());
}

TEST_F(FieldAccessDesktop, LeavesTheAnswerOnTheClipboardWhenTheFieldIsGone) {
  auto app = std::make_unique<FixtureApp>(
      std::vector<std::string>{"--windows=editor", "--focus=entry", "--entry=초안"});
  ASSERT_TRUE(app->ready());
  focusOn(*app, "entry", "AXTextField");
  app->select("entry", 0, 0);
  auto field = read();
  app.reset();  // the user closed the window
  desktoptest::Peer other({"--window", "다른 앱"});
  ASSERT_TRUE(other.ready());
  desk->workspace.activate(other.pid());
  auto result = write("남겨 둘 답글", field);
  EXPECT_TRUE(result.isLeftOnClipboard());
  EXPECT_EQ(desk->pasteboard.string(), "남겨 둘 답글");
}

TEST_F(FieldAccessDesktop, PageContextOfTheMailWindow) {
  FixtureApp app({"--windows=mail", "--focus=composer"});
  ASSERT_TRUE(app.ready());
  focusOn(app, "composer", "AXTextArea");
  auto f = failure();
  ASSERT_EQ(f.kind(), Focus::ReadFailure::Kind::empty);
  expectTestMail(PageContext::read(desk->accessibility, desk->clock, f.field()));
}

// A clipboard holding text, HTML and a PNG survives many borrowings byte for byte.
TEST_F(FieldAccessDesktop, ClipboardSurvivesAHundredCopiesAndPastes) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(std::getenv("MIRELO_SESSION_ROOT")) / "clip";
  fs::create_directories(dir);
  std::string png =
      std::string("\x89PNG\r\n\x1a\n", 8) + std::string(70000, '\x01') + std::string(3, '\0');
  std::ofstream(dir / "text", std::ios::binary) << "사용자의 클립보드 📋";
  std::ofstream(dir / "html", std::ios::binary) << "<p>사용자의 <b>클립보드</b></p>";
  std::ofstream(dir / "png", std::ios::binary) << png;
  std::vector<platform::PasteboardItem> before;
  {
    desktoptest::Peer owner({"--target", "UTF8_STRING=" + (dir / "text").string(), "--target",
                             "text/html=" + (dir / "html").string(), "--target",
                             "image/png=" + (dir / "png").string()});
    ASSERT_TRUE(owner.ready());
    before = desk->pasteboard.items();
    desk->pasteboard.writeItems(before);  // Mirelo keeps serving it after the owner quits
  }
  ASSERT_EQ(before.size(), 1u);
  ASSERT_EQ(before[0].size(), 3u);

  FixtureApp app({"--windows=editor", "--focus=entry", "--entry=복사할 글"});
  ASSERT_TRUE(app.ready());
  focusOn(app, "entry", "AXTextField");
  auto p = desk->platform();
  for (int i = 0; i < 100; ++i) {
    app.select("entry", 0, 5);
    auto copied = runOnLoop(Clipboard::copySelection(p));
    ASSERT_EQ(copied, "복사할 글") << "round " << i;
    ASSERT_EQ(desk->pasteboard.items(), before) << "after copy " << i;
    app.select("entry", 0, 5);
    bool pasted = runOnLoop([](platform::Platform p, int i) -> Task<bool> {
      co_await Clipboard::paste(p, "붙인 글 " + std::to_string(i));
      co_return true;
    }(p, i));
    ASSERT_TRUE(pasted);
    ASSERT_EQ(desk->pasteboard.items(), before) << "after paste " << i;
    ASSERT_TRUE(pumpUntil([&] { return app.text("entry") == "붙인 글 " + std::to_string(i); }));
    app.set("entry", "복사할 글");
  }
}

}  // namespace

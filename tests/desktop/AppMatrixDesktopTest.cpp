// The applications people write in, each driven as a user drives it: reading a draft and a
// selection, writing the answer back, the paste's clipboard given back, replies from the
// page around the field, and terminals that are only ever read.
#include <gtest/gtest.h>

#include "DesktopApps.h"
#include "DesktopSession.h"
#include "WalkOnlyAccessibility.h"
#include "account/Settings.h"
#include "field/Insert.h"

namespace {

namespace fs = std::filesystem;
using desktoptest::pumpUntil;
using desktoptest::TargetWindow;

// A field in a window of one of the programs.
struct Target {
  const char* name;
  const char* launch;
  const char* window;      // xdotool --name pattern of the window that holds the field
  InsertMethod writtenBy;  // how the answer goes in when nothing is remembered
  bool writes;             // false: writing back is a known limit (README)
  bool pastes;             // false: the paste fallback is a known limit (README)
};

void PrintTo(const Target& t, std::ostream* os) {
  *os << t.name;
}

const Target kTargets[] = {
    {"FirefoxTextArea", "firefox", "^초안 - ", InsertMethod::paste, true, true},
    {"ThunderbirdPlain", "thunderbird", "평문 초안", InsertMethod::paste, false, false},
    {"ThunderbirdHtml", "thunderbird", "서식 초안", InsertMethod::paste, true, true},
    {"LibreOfficeWriter", "writer", "draft.txt - LibreOffice Writer", InsertMethod::axValue, false,
     false},
    {"Gtk4TextEditor", "gtk4", "note.txt", InsertMethod::axValue, false, false},
    {"QtTextEdit", "qt", "Mirelo Qt text", InsertMethod::axValue, true, false},
    {"QtLineEdit", "qt-line", "Mirelo Qt line", InsertMethod::axValue, false, false},
};

constexpr const char* kDraft = "안녕하세요 초안입니다 😀 내일 뵙겠습니다.";
constexpr const char* kAnswer = "다듬은 답장입니다 ✨ 내일 오전에 뵙겠습니다.";

// Every program starts once for the whole run (they take seconds each) and stops at its end.
std::unique_ptr<desktoptest::DesktopApps> sharedApps;

desktoptest::DesktopApps& apps() {
  if (!sharedApps)
    sharedApps = std::make_unique<desktoptest::DesktopApps>(
        fs::path(std::getenv("MIRELO_SESSION_ROOT")) / "apps");
  return *sharedApps;
}

class StopApps : public ::testing::Environment {
 public:
  void TearDown() override { sharedApps.reset(); }
};
const auto* stopApps = ::testing::AddGlobalTestEnvironment(new StopApps);

class AppMatrixBase : public desktoptest::DesktopSession {
 protected:
  // Stopped after each suite: the other suites run without them.
  static void TearDownTestSuite() { sharedApps.reset(); }

  // The window, raised and focused (null id when the program did not start).
  TargetWindow focusWindow(const std::string& launch, const std::string& pattern) {
    auto* running = apps().launch(launch);
    if (!running) return {};
    TargetWindow w;
    w.id = running->window(pattern);
    if (!w.id) return {};
    w.pid = std::atoi(
        desktoptest::firstLine({"xdotool", "getwindowpid", std::to_string(w.id)}).c_str());
    w.focus();
    return w;
  }

  // The focused field of pid, once the accessibility focus is there (null when it never is).
  platform::ElementRef focusedFieldOf(int pid) {
    platform::ElementRef f;
    pumpUntil(
        [&] {
          f = desk->accessibility.focusedElement();
          auto role = f ? AX::string(desk->accessibility, f, "AXRole") : std::nullopt;
          return f && desk->accessibility.processId(f) == pid &&
                 (role == "AXTextArea" || role == "AXTextField");
        },
        15000);
    return f && desk->accessibility.processId(f) == pid ? f : nullptr;
  }

  // What has the accessibility focus, for failure messages.
  std::string focusDescription() {
    auto f = desk->accessibility.focusedElement();
    if (!f) return "no focused element";
    return "focused: " + AX::string(desk->accessibility, f, "AXRole").value_or("?") + " of pid " +
           std::to_string(desk->accessibility.processId(f).value_or(0)) + " holding \"" +
           valueOf(f) + "\"";
  }

  std::string valueOf(const platform::ElementRef& field) {
    return AX::string(desk->accessibility, field, "AXValue").value_or("(none)");
  }

  // Replaces the field's text as a user would: select all, paste from this clipboard. A
  // program just started may drop the first keys (Firefox's page takes them a moment after its
  // window): then the keys go again.
  bool type(const platform::ElementRef& field, const std::string& text) {
    desk->pasteboard.clearContents();
    desk->pasteboard.writeItems({{{platform::Pasteboard::kStringType, text}}});
    for (int attempt = 0; attempt < 3; ++attempt) {
      desktoptest::runOnLoop(desk->keyboard.postShortcut(platform::Shortcut::selectAll));
      desktoptest::runOnLoop(desk->keyboard.postShortcut(platform::Shortcut::paste));
      if (pumpUntil([&] { return Insert::normalize(valueOf(field)) == text; }, 5000)) return true;
    }
    return false;
  }
};

class AppMatrix : public AppMatrixBase, public ::testing::WithParamInterface<Target> {
 protected:
  // All at once before the first test: a window that maps later may take the focus.
  static void SetUpTestSuite() {
    if (!std::getenv("MIRELO_SESSION_ROOT")) return;
    for (const auto& t : kTargets)
      if (apps().installed(t.launch)) apps().launch(t.launch);
  }

  void SetUp() override {
    DesktopSession::SetUp();
    if (HasFatalFailure()) return;
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    bool limit = (test.rfind("Writes", 0) == 0 && !GetParam().writes) ||
                 (test.rfind("Pastes", 0) == 0 && !GetParam().pastes);
    if (limit) GTEST_SKIP() << "a known limit (README)";
    // A window focused a second time does not always show its focus again in time (README).
    if (test.rfind("Reads", 0) != 0 && !std::getenv("MIRELO_APP_MATRIX"))
      GTEST_SKIP() << "MIRELO_APP_MATRIX=1 runs the writes";
    desk->defaults.remove(Settings::kHandleBrowsers);
    window = focusWindow(GetParam().launch, GetParam().window);
    if (!window.id) {
      if (!apps().installed(GetParam().launch))
        GTEST_SKIP() << GetParam().launch << " is not installed (scripts/install-deps)";
      FAIL() << "no window " << GetParam().window << "; see " << std::getenv("MIRELO_SESSION_ROOT")
             << "/apps/" << GetParam().launch << "/output.log";
    }
    ASSERT_TRUE(pumpUntil([&] {
      auto front = desk->workspace.frontmostApplication();
      return front && front->pid == window.pid;
    })) << GetParam().name
        << " is not in front";
    field = focusedFieldOf(window.pid);
    ASSERT_TRUE(field) << "no accessibility focus in " << GetParam().name << " (pid " << window.pid
                       << "); " << focusDescription();
    ASSERT_TRUE(type(field, kDraft)) << valueOf(field) << "; " << focusDescription();
    // Some programs tell of focus changes late after keys: the focus settles first.
    ASSERT_TRUE(focusedFieldOf(window.pid)) << focusDescription();
  }

  TargetWindow window;
  platform::ElementRef field;
};

TEST_P(AppMatrix, ReadsTheDraftAndASelection) {
  auto whole = read();
  EXPECT_EQ(whole.pid, window.pid);
  EXPECT_EQ(whole.readMethod, FocusedField::ReadMethod::axValue);
  EXPECT_EQ(Insert::normalize(whole.value.value_or("")), kDraft);

  desktoptest::keys({"ctrl+Home", "Home"});
  desktoptest::selectRight(5);
  ASSERT_TRUE(pumpUntil(
      [&] { return AX::string(desk->accessibility, field, "AXSelectedText") == "안녕하세요"; },
      5000));
  auto selection = read();
  EXPECT_EQ(selection.readMethod, FocusedField::ReadMethod::axSelected);
  EXPECT_EQ(selection.selectedText, "안녕하세요");
  ASSERT_TRUE(selection.selectedRange);
  EXPECT_EQ(selection.selectedRange->location, 0);
  EXPECT_EQ(selection.selectedRange->length, 5);
}

TEST_P(AppMatrix, WritesTheAnswerBack) {
  auto draft = read();
  auto result = desktoptest::runOnLoop(Insert::write(desk->platform(), kAnswer, draft));
  ASSERT_TRUE(result.isInserted()) << valueOf(field);
  EXPECT_EQ(result.method(), GetParam().writtenBy);
  EXPECT_EQ(Insert::normalize(valueOf(field)), kAnswer);
  if (std::string(GetParam().launch) == "firefox") {  // the page's own view of its text area
    EXPECT_TRUE(pumpUntil([&] { return window.title().find(kAnswer) != std::string::npos; }))
        << window.title();
  }
}

// The paste leaves the user's clipboard as it was: every target, every byte.
TEST_P(AppMatrix, PastesAndGivesTheClipboardBackByteForByte) {
  const std::string html = "<b>사용자의</b> 클립보드";
  const std::string binary("\x00\x01\xff\xfe mirelo\r\n", 13);
  desk->pasteboard.clearContents();
  desk->pasteboard.writeItems({{{platform::Pasteboard::kStringType, "사용자의 클립보드"},
                                {"text/html", html},
                                {"application/x-mirelo-test", binary}}});
  const auto before = desktoptest::readClipboard("application/x-mirelo-test");
  const auto htmlBefore = desktoptest::readClipboard("text/html");

  auto draft = read();
  AppMemory::remember(draft.bundleID, InsertMethod::paste);
  auto result = desktoptest::runOnLoop(Insert::write(desk->platform(), kAnswer, draft));
  ASSERT_TRUE(result.isInserted()) << valueOf(field);
  EXPECT_EQ(result.method(), InsertMethod::paste);
  EXPECT_EQ(Insert::normalize(valueOf(field)), kAnswer);
  EXPECT_EQ(desktoptest::readClipboard("application/x-mirelo-test"), before);
  EXPECT_EQ(desktoptest::readClipboard("text/html"), htmlBefore);
  EXPECT_EQ(desk->pasteboard.string(), "사용자의 클립보드");
}

INSTANTIATE_TEST_SUITE_P(Apps, AppMatrix, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

// A reply: the message above an empty composer, its sender as the person answered, the quoted
// older mail cut.
class AppReply : public AppMatrixBase, public ::testing::WithParamInterface<const char*> {
 protected:
  // Loads url as a user does, typing it into the address bar (again when keys were dropped on
  // a busy machine); true once a mail page is shown.
  bool openInAddressBar(const TargetWindow& window, const std::string& url) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      desktoptest::keys({"ctrl+l"});
      desktoptest::run({"xdotool", "type", "--delay", "5", url});
      desktoptest::keys({"Return"});
      if (pumpUntil([&] { return window.title().find("받은 편지함") == 0; }, 5000)) return true;
    }
    return false;
  }
};

TEST_P(AppReply, PageContextOfTheMailInFirefox) {
  desk->defaults.remove(Settings::kHandleBrowsers);
  if (!apps().installed("firefox"))
    GTEST_SKIP() << "Firefox ESR is not installed (scripts/install-deps)";
  auto window = focusWindow("firefox", "Mozilla Firefox$");
  ASSERT_TRUE(window.id);
  auto page = fs::path(std::getenv("MIRELO_SESSION_ROOT")) / "apps/firefox" / GetParam();
  ASSERT_TRUE(openInAddressBar(window, "file://" + page.string())) << window.title();
  ASSERT_TRUE(pumpUntil(
      [&] {
        auto f = desk->accessibility.focusedElement();
        return f && desk->accessibility.processId(f) == window.pid &&
               Insert::normalize(valueOf(f)).empty();
      },
      15000))
      << focusDescription();
  auto f = failure();
  ASSERT_EQ(f.kind(), Focus::ReadFailure::Kind::empty) << f.what();
  auto reading = PageContext::read(desk->accessibility, desk->clock, f.field());
  expectTestMail(reading);
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->text.find("금요일까지"), reading->text.rfind("금요일까지"));
  desktoptest::WalkOnlyAccessibility walkOnly(desk->accessibility);
  EXPECT_EQ(PageContext::read(walkOnly, desk->clock, f.field()), reading);
}

INSTANTIATE_TEST_SUITE_P(Pages, AppReply, ::testing::Values("mail.html", "webmail.html"),
                         [](const auto& info) {
                           return std::string(info.param[0] == 'm' ? "Mail" : "Webmail");
                         });

// xterm has no accessibility tree: the trigger finds no field and nothing is pasted there.
class Terminals : public AppMatrixBase {};

TEST_F(Terminals, XtermIsNeverWritten) {
  auto window = focusWindow("xterm", "Mirelo xterm");
  if (!apps().installed("xterm")) GTEST_SKIP() << "xterm is not installed (scripts/install-deps)";
  ASSERT_TRUE(window.id);
  desk->pasteboard.clearContents();
  desk->pasteboard.writeItems({{{platform::Pasteboard::kStringType, "사용자의 클립보드"}}});
  ASSERT_TRUE(pumpUntil([&] {
    auto front = desk->workspace.frontmostApplication();
    return front && front->pid == window.pid;
  }));
  EXPECT_EQ(desk->workspace.frontmostApplication()->bundleID, "xterm");
  EXPECT_EQ(failure().kind(), Focus::ReadFailure::Kind::noFocusedField);
  EXPECT_EQ(desk->pasteboard.string(), "사용자의 클립보드");
}

// Firefox and Thunderbird started while the desktop's accessibility was off show no tree, and
// join as soon as the user's grant turns it on; the diagnosis says what to do.
class GeckoAccessibility : public AppMatrixBase {};

TEST_F(GeckoAccessibility, JoinsWhenTheGrantTurnsAccessibilityOn) {
  if (!apps().installed("firefox-late")) GTEST_SKIP() << "Firefox ESR is not installed";
  ASSERT_TRUE(g_spawn_command_line_sync(
      "gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method "
      "org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<false>'",
      nullptr, nullptr, nullptr, nullptr));
  EXPECT_NE(desk->accessibility.wakeDescription(true).find("손쉬운 사용 권한을 허용하면"),
            std::string::npos)
      << desk->accessibility.wakeDescription(true);
  auto window = focusWindow("firefox-late", "^초안 - ");
  ASSERT_TRUE(window.id);
  auto app = desk->accessibility.application(window.pid);
  EXPECT_FALSE(AX::element(desk->accessibility, app, "AXFocusedUIElement")) << "no tree yet";

  EXPECT_TRUE(desk->accessibility.isProcessTrusted(true));
  EXPECT_TRUE(pumpUntil(
      [&] { return AX::element(desk->accessibility, app, "AXFocusedUIElement").has_value(); },
      15000))
      << "Firefox joins without a restart";
  EXPECT_EQ(desk->accessibility.wakeDescription(true).find("손쉬운 사용 권한을 허용하면"),
            std::string::npos);
}

}  // namespace

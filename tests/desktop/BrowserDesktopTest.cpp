// Reading, pasting and page context in a real browser: Chromium's fields have no editable-text
// interface, so the answer goes in by paste.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DesktopSession.h"
#include "MailPages.h"
#include "WalkOnlyAccessibility.h"
#include "account/Settings.h"
#include "field/Insert.h"

namespace {

namespace fs = std::filesystem;
using desktoptest::Child;
using desktoptest::kMailPage;
using desktoptest::kWebmailPage;
using desktoptest::pumpUntil;

// Starts Chromium (Debian's /usr/bin/chromium) headful on the test display, with its
// accessibility tree on, and drives its page over the DevTools protocol on a pipe
// (--remote-debugging-pipe: Chromium reads commands on fd 3 and writes answers on fd 4, each
// message ended by a NUL byte). The page is scripted with Runtime.evaluate, so a test can
// focus a field, select in it and read what the page itself sees.
class ChromiumBrowser {
 public:
  static constexpr const char* kPath = "/usr/bin/chromium";

  static bool installed() { return ::access(kPath, X_OK) == 0; }

  // Starts the browser on url with a private profile below dir; its output goes to
  // dir/chromium.log. ready() tells whether its page answers.
  ChromiumBrowser(const std::filesystem::path& dir, const std::string& url) {
    // The shell puts the pipes on fds 3 and 4: $0 is the log, $1 the profile, $2 the page.
    const std::string script =
        std::string("exec env ACCESSIBILITY_ENABLED=1 ") + kPath +
        " --user-data-dir=\"$1\" "
        "--remote-debugging-pipe --password-store=basic --no-sandbox --disable-gpu --no-first-run "
        "--no-default-browser-check --disable-background-networking --disable-component-update "
        "--disable-sync --disable-quic --disable-features=Translate,MediaRouter "
        "--window-position=0,0 --window-size=1000,800 \"$2\" 3<&0 4>&1 </dev/null >\"$0\" 2>&1";
    ready_ = child_.start({"sh", "-c", script, (dir / "chromium.log").string(),
                           (dir / "profile").string(), url}) &&
             attach() && waitForPage(url, 30000);
  }
  ~ChromiumBrowser() {
    call("Browser.close", nlohmann::json::object(), 3000);
    child_.stop(0, 5000);
  }

  bool ready() const { return ready_; }
  int pid() const { return child_.pid(); }

  // The value of a page expression (promises are awaited), or absent on an exception.
  std::optional<nlohmann::json> evaluate(const std::string& expression, int timeoutMs = 10000) {
    auto answer = call(
        "Runtime.evaluate",
        {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, timeoutMs);
    if (!answer || answer->contains("exceptionDetails")) return std::nullopt;
    return (*answer)["result"].value("value", nlohmann::json());
  }
  std::string string(const std::string& expression) {
    auto v = evaluate(expression);
    return v && v->is_string() ? v->get<std::string>() : std::string();
  }

  // Loads url and waits until the page has loaded.
  bool load(const std::string& url) {
    call("Page.navigate", {{"url", url}});
    return waitForPage(url, 15000);
  }

 private:
  // Attaches a session to the first page.
  bool attach() {
    return pumpUntil(
               [&] {
                 auto targets = call("Target.getTargets", nlohmann::json::object(), 5000);
                 for (const auto& t :
                      targets ? (*targets)["targetInfos"] : nlohmann::json::array()) {
                   if (t.value("type", "") != "page") continue;
                   auto attached = call("Target.attachToTarget",
                                        {{"targetId", t.value("targetId", "")}, {"flatten", true}});
                   session_ = attached ? attached->value("sessionId", "") : "";
                   return true;
                 }
                 return false;
               },
               30000) &&
           !session_.empty();
  }

  bool waitForPage(const std::string& url, int timeoutMs) {
    return pumpUntil(
        [&] {
          auto state = evaluate("[location.href, document.readyState]", 2000);
          return state && state->is_array() && (*state)[0] == url && (*state)[1] == "complete";
        },
        timeoutMs);
  }

  // One command and its result; events and other answers are skipped.
  std::optional<nlohmann::json> call(const std::string& method, const nlohmann::json& params,
                                     int timeoutMs = 10000) {
    int id = ++lastId_;
    nlohmann::json message{{"id", id}, {"method", method}, {"params", params}};
    if (!session_.empty()) message["sessionId"] = session_;
    if (!child_.write(message.dump() + '\0')) return std::nullopt;
    while (auto answer = child_.read('\0', timeoutMs)) {
      auto parsed = nlohmann::json::parse(*answer, nullptr, false);
      if (!parsed.is_object() || parsed.value("id", -1) != id) continue;
      if (parsed.contains("error")) return std::nullopt;
      return parsed["result"];
    }
    return std::nullopt;
  }

  Child child_;
  int lastId_ = 0;
  std::string session_;
  bool ready_ = false;
};

constexpr const char* kFormPage = R"html(<!doctype html>
<html lang="ko"><head><meta charset="utf-8"><title>문의하기</title></head>
<body>
<h1>문의하기</h1>
<p><label>이름 <input id="name" value="박지훈 (고객지원팀)"></label></p>
<p><input id="subject" placeholder="제목을 입력하세요"></p>
<p><textarea id="body" rows="6" cols="60">안녕하세요 😀 배송 일정을 여쭤봅니다.</textarea></p>
<script>
  window.inputTypes = [];
  document.addEventListener('input', e => inputTypes.push(e.inputType));
</script>
</body></html>
)html";

// A draft the page's own script selects in: a text area, and an editor whose paragraphs
// Chromium exposes as embedded objects of one editable section.
constexpr const char* kScriptedPage = R"html(<!doctype html>
<html lang="ko"><head><meta charset="utf-8"><title>초안</title></head>
<body>
<textarea id="draft" rows="6" cols="60">내일 회의는 열 시에 시작합니다. 자료는 미리 보내 주세요.</textarea>
<div id="editor" contenteditable="true"><p>첫 문단은 <a href="#">여기</a>에서 시작해요 😀</p><p>둘째 문단은 그대로 둡니다.</p></div>
<script>
  function selectText(node, start, endNode, end) {
    const r = document.createRange();
    r.setStart(node, start);
    r.setEnd(endNode, end);
    getSelection().removeAllRanges();
    getSelection().addRange(r);
  }
</script>
</body></html>
)html";

std::string byId(const std::string& id) {
  return "document.getElementById(" + nlohmann::json(id).dump() + ")";
}

// One browser for the whole suite: it takes seconds to start.
class BrowserDesktop : public desktoptest::DesktopSession {
 protected:
  static void SetUpTestSuite() {
    if (!ChromiumBrowser::installed() || !std::getenv("MIRELO_SESSION_ROOT")) return;
    dir = fs::path(std::getenv("MIRELO_SESSION_ROOT")) / "browser";
    fs::create_directories(dir);
    std::ofstream(dir / "form.html") << kFormPage;
    std::ofstream(dir / "mail.html") << kMailPage;
    std::ofstream(dir / "webmail.html") << kWebmailPage;
    std::ofstream(dir / "scripted.html") << kScriptedPage;
    browser = std::make_unique<ChromiumBrowser>(dir, url("form.html"));
  }
  static void TearDownTestSuite() { browser.reset(); }

  static inline fs::path dir;
  static inline std::unique_ptr<ChromiumBrowser> browser;
  static std::string url(const std::string& page) { return "file://" + (dir / page).string(); }

  void SetUp() override {
    if (!ChromiumBrowser::installed())
      GTEST_SKIP() << ChromiumBrowser::kPath << " is missing (scripts/install-deps installs it)";
    DesktopSession::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(browser && browser->ready())
        << "Chromium did not start; see " << (dir / "chromium.log");
    desk->defaults.remove(Settings::kHandleBrowsers);
  }

  ChromiumBrowser& page() { return *browser; }

  void open(const std::string& name) {
    if (page().string("location.href") != url(name)) {
      ASSERT_TRUE(page().load(url(name))) << name;
    }
  }
  // Gives the browser window the input focus and the page's element the DOM focus, then waits
  // until the accessibility focus is on it. The wake is the one a read does: without it the
  // page's tree stays off and no focus is ever seen.
  void focusField(const std::string& id, const std::string& role,
                  std::optional<std::string> accessibleValue = std::nullopt) {
    desk->workspace.activate(page().pid());
    AX::wakeAccessibility(desk->accessibility, page().pid(), true);
    page().evaluate("document.activeElement && document.activeElement.blur(); " + byId(id) +
                    ".focus()");
    // The value tells this field from the one focused before.
    std::string value = accessibleValue.value_or(pageValue(id));
    ASSERT_TRUE(pumpUntil(
        [&] {
          auto f = desk->accessibility.focusedElement();
          return f && string(f, "AXRole") == role &&
                 desk->accessibility.processId(f) == page().pid() && string(f, "AXValue") == value;
        },
        10000))
        << id << " has the DOM focus: " << page().string("document.activeElement.id");
  }
  std::string pageValue(const std::string& id) { return page().string(byId(id) + ".value"); }
};

TEST_F(BrowserDesktop, ReadsAValueAndAPlaceholderOnlyField) {
  open("form.html");
  focusField("name", "AXTextField");
  auto field = read();
  EXPECT_EQ(field.bundleID, "chromium");
  EXPECT_EQ(field.pid, page().pid());
  EXPECT_EQ(field.readMethod, FocusedField::ReadMethod::axValue);
  EXPECT_EQ(field.value, "박지훈 (고객지원팀)");
  desk->defaults.set(Settings::kHandleBrowsers, false);
  EXPECT_EQ(failure().kind(), Focus::ReadFailure::Kind::isBrowser);
  desk->defaults.remove(Settings::kHandleBrowsers);

  focusField("subject", "AXTextField");
  EXPECT_EQ(string(desk->accessibility.focusedElement(), "AXPlaceholderValue"),
            "제목을 입력하세요");
  auto f = failure();
  ASSERT_EQ(f.kind(), Focus::ReadFailure::Kind::empty) << f.what();
  EXPECT_EQ(f.field().value, "");
}

TEST_F(BrowserDesktop, PastesTheAnswerAndGivesTheClipboardBack) {
  open("form.html");
  page().evaluate("document.getElementById('body').value = '고칠 초안입니다'; inputTypes = []");
  desk->pasteboard.clearContents();
  desk->pasteboard.writeItems({{{platform::Pasteboard::kStringType, "사용자의 클립보드"}}});
  focusField("body", "AXTextArea");
  page().evaluate(byId("body") + ".setSelectionRange(0, 0)");
  auto field = read();
  ASSERT_EQ(field.value, "고칠 초안입니다");

  std::string answer = "다듬은 답장입니다 ✨\n내일 뵙겠습니다.";
  auto result = desktoptest::runOnLoop(Insert::write(desk->platform(), answer, field));
  ASSERT_TRUE(result.isInserted()) << pageValue("body");
  EXPECT_EQ(result.method(), InsertMethod::paste);
  EXPECT_EQ(pageValue("body"), answer);
  auto types = page().evaluate("inputTypes");
  ASSERT_TRUE(types);
  EXPECT_NE(types->dump().find("insertFromPaste"), std::string::npos) << types->dump();
  EXPECT_EQ(AppMemory::working("chromium"), InsertMethod::paste);
  EXPECT_TRUE(pumpUntil([&] { return desk->pasteboard.string() == "사용자의 클립보드"; }))
      << desk->pasteboard.string().value_or("(none)");
}

TEST_F(BrowserDesktop, PageContextOfTheMailPage) {
  open("mail.html");
  focusField("composer", "AXTextArea");
  auto f = failure();
  ASSERT_EQ(f.kind(), Focus::ReadFailure::Kind::empty) << f.what();
  expectTestMail(PageContext::read(desk->accessibility, desk->clock, f.field()));
}

// Chromium folds the nested <div>s away: each block of words is a section over one text leaf
// per inline run, the blockquote a "block quote" of such sections, the composer an editable
// section; each block reads as one line, its words once, on the bulk and the walking path.
TEST_F(BrowserDesktop, PageContextOfAWebmailThread) {
  open("webmail.html");
  focusField("composer", "AXTextArea");
  auto f = failure();
  ASSERT_EQ(f.kind(), Focus::ReadFailure::Kind::empty) << f.what();
  auto reading = PageContext::read(desk->accessibility, desk->clock, f.field());
  expectTestMail(reading);
  ASSERT_TRUE(reading);
  EXPECT_NE(reading->text.find("\n수치가 맞는지 금요일까지 한 번 확인해 주실 수 있을까요?\n"),
            std::string::npos)
      << reading->text;
  EXPECT_EQ(reading->text.find("금요일까지"), reading->text.rfind("금요일까지"));
  EXPECT_NE(reading->text.find("회의자료.pdf"), std::string::npos) << "the link inside a block";
  desktoptest::WalkOnlyAccessibility walkOnly(desk->accessibility);
  EXPECT_EQ(PageContext::read(walkOnly, desk->clock, f.field()), reading);
}

// A selection the page's script makes reaches the accessibility tree a few milliseconds later,
// with no input: the selection alone is read and replaced, in a text area and in an editor
// whose text lives in embedded paragraphs.
TEST_F(BrowserDesktop, RewritesOnlyTheSelectionAPageScriptMade) {
  const std::string kEditorValue = "첫 문단은 여기에서 시작해요 😀\n둘째 문단은 그대로 둡니다.";
  struct Case {
    std::string id, role, value, select, selected, expected;
  };
  const Case cases[] = {
      {"draft", "AXTextArea", "내일 회의는 열 시에 시작합니다. 자료는 미리 보내 주세요.",
       byId("draft") + ".setSelectionRange(3, 14)", "회의는 열 시에 시작",
       "내일 [다듬음]합니다. 자료는 미리 보내 주세요."},
      {"editor", "AXTextArea", kEditorValue,
       "{ const p = document.querySelectorAll('#editor p'); selectText(p[0].firstChild, 2, "
       "p[0].lastChild, 7) }",
       "문단은 여기에서 시작해요", "첫 [다듬음] 😀\n\n둘째 문단은 그대로 둡니다."},
  };
  open("scripted.html");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    focusField(c.id, c.role, c.value);
    ASSERT_TRUE(page().evaluate(c.select));
    auto focused = desk->accessibility.focusedElement();
    ASSERT_TRUE(pumpUntil([&] { return string(focused, "AXSelectedText") == c.selected; }))
        << string(focused, "AXSelectedText").value_or("(none)");
    auto field = read();
    EXPECT_EQ(field.readMethod, FocusedField::ReadMethod::axSelected);
    EXPECT_EQ(field.target(), c.selected);
    auto result = desktoptest::runOnLoop(Insert::write(desk->platform(), "[다듬음]", field));
    ASSERT_TRUE(result.isInserted())
        << page().string(byId(c.id) + ".value ?? " + byId(c.id) + ".innerText");
    // Chromium keeps a pasted space before an emoji as a no-break space.
    EXPECT_EQ(page().string("(" + byId(c.id) + ".value ?? " + byId(c.id) +
                            ".innerText).replace(/\u00a0/g, ' ')"),
              c.expected);
  }
  // Across paragraphs Chromium shows an empty part in the paragraph where the selection
  // starts: its start cannot be told, so the whole draft is read, as without a selection.
  page().evaluate(
      "document.getElementById('editor').innerHTML = " +
      nlohmann::json(
          "<p>첫 문단은 <a href=\"#\">여기</a>에서 시작해요 😀</p><p>둘째 문단은 그대로 둡니다.</p>")
          .dump());
  focusField("editor", "AXTextArea", kEditorValue);
  page().evaluate(
      "{ const p = document.querySelectorAll('#editor p'); selectText(p[0].lastChild, 3, "
      "p[1].firstChild, 5) }");
  ASSERT_TRUE(pumpUntil([&] { return page().string("getSelection().toString()") != ""; }));
  auto field = read();
  EXPECT_EQ(field.readMethod, FocusedField::ReadMethod::axValue);
  EXPECT_EQ(field.target(), kEditorValue);
}

}  // namespace

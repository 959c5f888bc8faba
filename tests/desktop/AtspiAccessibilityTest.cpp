// The accessibility port, and the field layer above it, against the GTK 3 fixture application,
// inside tests/desktop/session.
#include <gtest/gtest.h>

#include <signal.h>
#include <optional>

#include <chrono>

#include "DesktopSession.h"
#include "WalkOnlyAccessibility.h"
#include "field/Insert.h"
#include "platform/AXSnapshot.h"

namespace {

using desktoptest::FixtureApp;
using desktoptest::pumpUntil;
using platform::AXValue;
using platform::ElementRef;
using platform::Rect;
using platform::TextRange;

class AtspiDesktop : public desktoptest::DesktopSession {
 protected:
  linuxport::AtspiAccessibility& ax() { return desk->accessibility; }
  std::optional<TextRange> range(const ElementRef& e) {
    return AX::range(ax(), e, "AXSelectedTextRange");
  }
  std::optional<Rect> frame(const ElementRef& e) { return AX::rect(ax(), e, "AXFrame"); }
  std::optional<Rect> bounds(const ElementRef& e, TextRange r) {
    return AX::boundsForRange(ax(), e, r);
  }
  ElementRef element(const ElementRef& e, const char* name) {
    return AX::element(ax(), e, name).value_or(nullptr);
  }
  bool set(const ElementRef& e, const char* name, AXValue value) {
    return ax().setAttribute(e, name, value);
  }
  InsertResult write(const std::string& text, const FocusedField& field) {
    return desktoptest::runOnLoop(Insert::write(desk->platform(), text, field));
  }

  // Pairs each snapshot node with the element the walk reaches at the same place, checking
  // the role and the number of children on the way.
  void pair(const platform::AXSnapshot& s, int node, const ElementRef& e,
            std::vector<std::pair<int, ElementRef>>& pairs) {
    const auto& n = s.nodes()[node];
    EXPECT_EQ(n.role, string(e, "AXRole")) << "node " << node;
    ASSERT_TRUE(n.childrenKnown) << "node " << node;
    auto walked = AX::children(ax(), e);
    ASSERT_EQ(n.children.size(), walked.size()) << "node " << node;
    pairs.emplace_back(node, e);
    for (size_t i = 0; i < walked.size(); ++i) {
      EXPECT_EQ(element(walked[i], "AXParent"), e);
      pair(s, n.children[i], walked[i], pairs);
    }
  }

  // The snapshot holds the same tree as the walk, node by node, attribute by attribute.
  void expectSameTree(const ElementRef& field) {
    auto s = ax().snapshot(field);
    ASSERT_TRUE(s);
    ElementRef top = field;
    int root = s->element();
    for (; s->nodes()[root].parent >= 0; root = s->nodes()[root].parent)
      ASSERT_TRUE(top = element(top, "AXParent")) << "the walk's ancestors end early";
    EXPECT_EQ(string(top, "AXRole"), "AXApplication");
    EXPECT_FALSE(element(top, "AXParent")) << "the walk's ancestors go on";
    std::vector<std::pair<int, ElementRef>> pairs;
    pair(*s, root, top, pairs);
    EXPECT_EQ(pairs.size(), s->nodes().size());
    std::vector<int> nodes;
    for (auto& [node, e] : pairs)
      nodes.push_back(node);
    for (const char* name : {"AXValue", "AXTitle", "AXFrame", "AXRole"}) {
      auto values = s->read(nodes, name);
      ASSERT_TRUE(values) << name;
      int differences = 0;
      for (size_t k = 0; k < pairs.size(); ++k)
        if ((*values)[k] != ax().copyAttribute(pairs[k].second, name) && ++differences < 5)
          ADD_FAILURE() << name << " differs at node " << pairs[k].first;
    }
  }
};

TEST_F(AtspiDesktop, ReadsAndWritesAnEntryInUtf16Ranges) {
  FixtureApp app({"--windows=editor", "--entry=안녕하세요 😀 반갑습니다"});
  ASSERT_TRUE(app.ready());
  auto entry = focusOn(app, "entry", "AXTextField");
  ASSERT_TRUE(entry);
  EXPECT_EQ(string(entry, "AXValue"), "안녕하세요 😀 반갑습니다");
  EXPECT_EQ(string(entry, "AXPlaceholderValue"), "이름을 입력하세요");
  EXPECT_EQ(ax().processId(entry), app.pid());
  EXPECT_EQ(element(ax().systemWide(), "AXFocusedUIElement"), entry) << "one element per object";
  EXPECT_EQ(element(ax().application(app.pid()), "AXFocusedUIElement"), entry);

  app.select("entry", 6, 7);  // the emoji: one code point, two UTF-16 units
  EXPECT_EQ(string(entry, "AXSelectedText"), "😀");
  EXPECT_EQ(range(entry), (TextRange{6, 2}));
  app.select("entry", 13, 13);
  EXPECT_EQ(range(entry), (TextRange{14, 0}));

  for (auto name : {"AXValue", "AXSelectedText", "AXSelectedTextRange"})
    EXPECT_TRUE(AX::isSettable(ax(), entry, name)) << name;
  ASSERT_TRUE(set(entry, "AXSelectedTextRange", TextRange{9, 3}));
  EXPECT_EQ(string(entry, "AXSelectedText"), "반갑습");
  // A field that refuses the new text keeps the text it was to replace.
  EXPECT_FALSE(set(entry, "AXSelectedText", std::string("거부될 글")));
  EXPECT_EQ(app.text("entry"), "안녕하세요 😀 반갑습니다");
  ASSERT_TRUE(set(entry, "AXSelectedTextRange", TextRange{9, 3}));
  ASSERT_TRUE(set(entry, "AXSelectedText", std::string("고마웠습")));
  EXPECT_EQ(app.text("entry"), "안녕하세요 😀 고마웠습니다");
  EXPECT_EQ(range(entry), (TextRange{13, 0})) << "the caret after the inserted text";

  // A single-line field gets blanks for newlines.
  ASSERT_TRUE(set(entry, "AXValue", std::string("첫 줄\n둘째 줄")));
  EXPECT_EQ(app.text("entry"), "첫 줄 둘째 줄");
  EXPECT_FALSE(set(entry, "AXValue", 3.0)) << "wrong type";

  // An empty field reads as empty, never as its placeholder, and asks for a reply.
  app.set("entry", "");
  EXPECT_EQ(string(entry, "AXValue"), "");
  EXPECT_EQ(string(entry, "AXSelectedText"), "");
  EXPECT_EQ(range(entry), (TextRange{0, 0}));
  EXPECT_FALSE(bounds(entry, TextRange{0, 0})) << "no character to place a caret at";
  auto f = failure();
  ASSERT_EQ(f.kind(), Focus::ReadFailure::Kind::empty);
  EXPECT_EQ(f.field().value, "");
  EXPECT_EQ(f.field().readMethod, FocusedField::ReadMethod::axValue);
  app.set("entry", "  \n ");
  app.select("entry", 0, 0);
  EXPECT_EQ(failure().kind(), Focus::ReadFailure::Kind::empty);
}

// A text view read and written by a trigger, and through the port: bounds and replacements
// across an emoji. Once its window is gone, the answer is left on the clipboard.
TEST_F(AtspiDesktop, TextViewReadWrittenAndBoundsAcrossAnEmoji) {
  FixtureApp app({"--windows=editor", "--focus=text", "--text=가나다 😀 라마\n둘째 줄"});
  ASSERT_TRUE(app.ready());
  auto text = focusOn(app, "text", "AXTextArea");
  ASSERT_TRUE(text);
  auto box = frame(text);
  auto first = bounds(text, TextRange{0, 1});
  auto emoji = bounds(text, TextRange{4, 2});
  auto caret = bounds(text, TextRange{7, 0});
  auto secondLine = bounds(text, TextRange{10, 2});
  auto end = bounds(text, TextRange{15, 0});
  ASSERT_TRUE(box && first && emoji && caret && secondLine && end);
  EXPECT_GT(first->height, 0);
  EXPECT_GE(first->x, box->x);
  EXPECT_LE(first->x + first->width, box->x + box->width);
  EXPECT_GT(emoji->x, first->x);
  EXPECT_EQ(caret->width, 0);
  EXPECT_GT(caret->x, emoji->x);
  EXPECT_GT(secondLine->y, first->y);
  EXPECT_EQ(end->width, 0);
  EXPECT_GT(end->x, secondLine->x);
  EXPECT_EQ(bounds(text, TextRange{4, 1}), emoji) << "half an emoji covers the whole of it";

  app.select("text", 4, 7);  // "😀 라" in characters
  auto field = read();
  EXPECT_EQ(field.readMethod, FocusedField::ReadMethod::axSelected);
  EXPECT_EQ(field.target(), "😀 라");
  EXPECT_EQ(field.selectedRange, (TextRange{4, 4}));
  app.select("text", 0, 0);
  field = read();
  EXPECT_EQ(field.readMethod, FocusedField::ReadMethod::axValue);
  EXPECT_EQ(field.value, "가나다 😀 라마\n둘째 줄");
  EXPECT_EQ(field.pid, app.pid());
  auto result = write("다듬은 답글입니다 ✨", field);
  ASSERT_TRUE(result.isInserted());
  EXPECT_EQ(app.text("text"), "다듬은 답글입니다 ✨");
  EXPECT_EQ(AppMemory::working(field.bundleID), result.method());

  std::string letter = "제목 없음\n\n두 번째 문단 🎉 끝";
  ASSERT_TRUE(set(text, "AXValue", letter));
  EXPECT_EQ(app.text("text"), letter);
  ASSERT_TRUE(set(text, "AXSelectedTextRange", TextRange{15, 4}));
  EXPECT_EQ(string(text, "AXSelectedText"), "🎉 끝");
  ASSERT_TRUE(set(text, "AXSelectedText", std::string("축하")));
  EXPECT_EQ(app.text("text"), "제목 없음\n\n두 번째 문단 축하");

  app.stop();  // the user closed the window: the answer is left on the clipboard
  FixtureApp other({"--entry=다른 앱"});
  ASSERT_TRUE(other.ready());
  desk->workspace.activate(other.pid());
  EXPECT_TRUE(write("남겨 둘 답글", field).isLeftOnClipboard());
  EXPECT_EQ(desk->pasteboard.string(), "남겨 둘 답글");
  EXPECT_EQ(other.text("entry"), "다른 앱");
}

TEST_F(AtspiDesktop, PasswordFieldAndTerminalNeverGiveTheirText) {
  FixtureApp app({"--windows=editor,terminal", "--focus=password", "--password=s3cret!"});
  ASSERT_TRUE(app.ready());
  auto field = focusOn(app, "password", "AXSecureTextField");
  ASSERT_TRUE(field);
  EXPECT_TRUE(ax().isPasswordFieldFocused());
  EXPECT_FALSE(ax().isTerminalFocused());
  EXPECT_FALSE(ax().copyAttribute(field, "AXValue"));
  EXPECT_FALSE(ax().copyAttribute(field, "AXSelectedText"));
  EXPECT_FALSE(bounds(field, TextRange{0, 3}));
  EXPECT_EQ(string(field, "AXSubrole"), "AXSecureTextField");
  EXPECT_FALSE(AX::isSettable(ax(), field, "AXValue"));
  EXPECT_FALSE(set(field, "AXValue", std::string("x")));
  EXPECT_EQ(app.text("password"), "s3cret!");

  ASSERT_TRUE(focusOn(app, "entry", "AXTextField"));
  EXPECT_FALSE(ax().isPasswordFieldFocused());
  if (!app.window("terminal")) GTEST_SKIP() << "fixture built without libvte";
  auto terminal = focusOn(app, "terminal", "AXTerminal");
  ASSERT_TRUE(terminal);
  EXPECT_TRUE(ax().isTerminalFocused());
  EXPECT_FALSE(ax().isPasswordFieldFocused());
  EXPECT_FALSE(ax().copyAttribute(terminal, "AXValue"));
  EXPECT_FALSE(AX::isSettable(ax(), terminal, "AXValue"));
}

// Focus moves between windows and applications, and counts only in the application in front;
// the bulk snapshot holds what the plain walk finds (labels, entries, a password field,
// scrolled windows whose scroll bars the cache leaves out or gives no index); both read the
// same page context, in the mail window the message above.
TEST_F(AtspiDesktop, SnapshotWalkAndPageContextAgree) {
  FixtureApp app({"--windows=labels,editor", "--labels=3000", "--entry=편집기"});
  FixtureApp mail({"--windows=mail", "--focus=composer"});
  ASSERT_TRUE(app.ready() && mail.ready());
  auto entry = focusOn(app, "entry", "AXTextField");
  auto composer = focusOn(app, "labels-composer", "AXTextArea");
  ASSERT_TRUE(entry && composer);
  EXPECT_NE(composer, entry);
  EXPECT_EQ(focusOn(app, "entry", "AXTextField"), entry);
  expectSameTree(composer);
  desktoptest::WalkOnlyAccessibility walkOnly(ax());
  FocusedField field;
  for (auto [fixture, widget] : {std::pair{&app, "labels-composer"}, {&mail, "composer"}}) {
    ASSERT_TRUE(field.element = focusOn(*fixture, widget, "AXTextArea"));
    auto reading = PageContext::read(ax(), desk->clock, field);
    ASSERT_TRUE(reading);
    EXPECT_EQ(PageContext::read(walkOnly, desk->clock, field), reading);
  }
  expectTestMail(PageContext::read(ax(), desk->clock, field));
  // The focused element counts only while its application's window is in front.
  std::optional<std::int32_t> inFront = app.pid();
  ax().setFrontmostPid([&] { return inFront; });
  EXPECT_FALSE(ax().focusedElement()) << "the application in front has no focused element";
  inFront = mail.pid();
  EXPECT_EQ(ax().focusedElement(), field.element);

  mail.stop();  // an element of a quit application reads as absent, without a wait
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ax().snapshot(field.element));
  EXPECT_FALSE(PageContext::read(ax(), desk->clock, field));
  for (auto name : {"AXValue", "AXSelectedText", "AXSelectedTextRange", "AXFrame", "AXRole",
                    "AXParent", "AXChildren"})
    EXPECT_FALSE(ax().copyAttribute(field.element, name)) << name;
  EXPECT_FALSE(bounds(field.element, TextRange{0, 1}));
  EXPECT_FALSE(set(field.element, "AXValue", std::string("x")));
  EXPECT_FALSE(element(ax().systemWide(), "AXFocusedUIElement"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

// A stopped application never stalls the periodic checks, costs at most one bounded wait over
// several triggers, and leaves the other applications' fields readable and writable.
TEST_F(AtspiDesktop, StoppedApplicationCostsAtMostOneWait) {
  FixtureApp hung({"--windows=editor", "--entry=멈춘 앱"});
  ASSERT_TRUE(hung.ready());
  ASSERT_TRUE(focusOn(hung, "entry", "AXTextField"));
  ASSERT_EQ(::kill(hung.pid(), SIGSTOP), 0);
  struct Resume {
    int pid;
    ~Resume() { ::kill(pid, SIGCONT); }
  } resume{hung.pid()};
  // Generous bounds for a sanitizer build on busy cores; each wait takes kCallTimeoutMs.
  auto wait = std::chrono::milliseconds(linuxport::AtspiAccessibility::kCallTimeoutMs);
  auto seconds = [start = std::chrono::steady_clock::now()] {
    return std::chrono::steady_clock::now() - start;
  };

  for (int i = 0; i < 20; ++i) {
    ax().isPasswordFieldFocused();
    ax().isTerminalFocused();
    ax().trackedProcessId();
  }
  EXPECT_LT(seconds(), 2 * wait) << "the periodic checks call no application";

  linuxport::AtspiAccessibility fresh;  // has seen no focus event: each trigger searches
  auto searches = seconds();
  for (int i = 0; i < 6; ++i)
    EXPECT_FALSE(fresh.focusedElement());
  EXPECT_LT(seconds() - searches, 3 * wait) << "one wait, then the stopped application is skipped";

  FixtureApp other({"--windows=editor", "--entry=살아 있는 앱"});
  ASSERT_TRUE(other.ready());
  auto entry = focusOn(other, "entry", "AXTextField");
  ASSERT_TRUE(entry);
  EXPECT_EQ(string(entry, "AXValue"), "살아 있는 앱");
  ASSERT_TRUE(set(entry, "AXValue", std::string("고친 글")));
  EXPECT_EQ(other.text("entry"), "고친 글");
  EXPECT_EQ(AX::string(fresh, fresh.focusedElement(), "AXValue"), "고친 글");
}

TEST_F(AtspiDesktop, TrustedWhileTheRegistryListsApplicationsAndWakingIsBookkeeping) {
  FixtureApp app({"--windows=editor"});
  ASSERT_TRUE(app.ready());
  EXPECT_TRUE(ax().isProcessTrusted(false));
  std::optional<bool> answered;
  ax().checkTrust([&](bool trusted) { answered = trusted; });
  EXPECT_FALSE(answered) << "answered on a later turn of the main loop";
  ASSERT_TRUE(pumpUntil([&] { return answered.has_value(); }));
  EXPECT_TRUE(*answered);
  // The grant switches the desktop's accessibility on (this session's private HOME only).
  ASSERT_EQ(std::string(std::getenv("HOME")).rfind(std::getenv("MIRELO_SESSION_ROOT"), 0), 0u);
  EXPECT_TRUE(ax().isProcessTrusted(true));
  gchar* enabled = nullptr;
  ASSERT_TRUE(g_spawn_command_line_sync(
      "gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method "
      "org.freedesktop.DBus.Properties.Get org.a11y.Status IsEnabled",
      &enabled, nullptr, nullptr, nullptr));
  EXPECT_STREQ(enabled, "(<true>,)\n");
  g_free(enabled);

  auto other = ax().application(4242);
  EXPECT_EQ(ax().application(4242), other);
  EXPECT_FALSE(ax().copyAttribute(other, "AXManualAccessibility"));
  EXPECT_TRUE(set(other, "AXManualAccessibility", true));
  EXPECT_EQ(ax().copyAttribute(other, "AXManualAccessibility"), AXValue(true));
  EXPECT_FALSE(ax().copyAttribute(other, "AXEnhancedUserInterface"));
  EXPECT_FALSE(ax().copyAttribute(ax().application(4243), "AXManualAccessibility"));
  EXPECT_FALSE(set(other, "AXValue", std::string("x")));
}

}  // namespace

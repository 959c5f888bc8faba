// The accessibility port against the GTK 3 fixture application, inside tests/desktop/session.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "FixtureApp.h"
#include "platform/linux/AtspiAccessibility.h"

namespace {

using desktoptest::FixtureApp;
using desktoptest::pumpUntil;
using platform::AXValue;
using platform::ElementRef;
using platform::Rect;
using platform::TextRange;

class AtspiDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("MIRELO_SESSION_ROOT"), nullptr)
        << "run me through tests/desktop/session";
  }

  std::optional<std::string> string(const ElementRef& e, const char* name) {
    auto v = ax.copyAttribute(e, name);
    if (!v || !std::holds_alternative<std::string>(*v)) return std::nullopt;
    return std::get<std::string>(*v);
  }
  std::optional<TextRange> range(const ElementRef& e) {
    auto v = ax.copyAttribute(e, "AXSelectedTextRange");
    if (!v || !std::holds_alternative<TextRange>(*v)) return std::nullopt;
    return std::get<TextRange>(*v);
  }
  std::optional<Rect> rect(const ElementRef& e, const char* name = "AXFrame") {
    auto v = ax.copyAttribute(e, name);
    if (!v || !std::holds_alternative<Rect>(*v)) return std::nullopt;
    return std::get<Rect>(*v);
  }
  std::optional<Rect> bounds(const ElementRef& e, TextRange r) {
    auto v = ax.copyParameterizedAttribute(e, "AXBoundsForRange", AXValue(r));
    if (!v || !std::holds_alternative<Rect>(*v)) return std::nullopt;
    return std::get<Rect>(*v);
  }
  ElementRef element(const ElementRef& e, const char* name) {
    auto v = ax.copyAttribute(e, name);
    if (!v || !std::holds_alternative<ElementRef>(*v)) return nullptr;
    return std::get<ElementRef>(*v);
  }
  std::vector<ElementRef> children(const ElementRef& e) {
    auto v = ax.copyAttribute(e, "AXChildren");
    if (!v || !std::holds_alternative<std::vector<ElementRef>>(*v)) return {};
    return std::get<std::vector<ElementRef>>(*v);
  }
  // The focused element once it has the role wanted (focus events take a moment).
  ElementRef focusedWithRole(const std::string& role) {
    ElementRef found;
    pumpUntil([&] {
      found = element(ax.systemWide(), "AXFocusedUIElement");
      return found && string(found, "AXRole") == role;
    });
    return found && string(found, "AXRole") == role ? found : nullptr;
  }

  linuxport::AtspiAccessibility ax;
};

TEST_F(AtspiDesktop, ReadsTheFocusedEntryWithUtf16Ranges) {
  FixtureApp app({"--windows=editor", "--focus=entry", "--entry=안녕하세요 😀 반갑습니다"});
  ASSERT_TRUE(app.ready());
  ASSERT_TRUE(ax.available());
  auto entry = focusedWithRole("AXTextField");
  ASSERT_TRUE(entry);
  EXPECT_EQ(string(entry, "AXValue"), "안녕하세요 😀 반갑습니다");
  EXPECT_EQ(string(entry, "AXPlaceholderValue"), "이름을 입력하세요");
  EXPECT_EQ(ax.processId(entry), app.pid());
  EXPECT_EQ(element(ax.systemWide(), "AXFocusedUIElement"), entry) << "one element per object";
  EXPECT_EQ(element(ax.application(app.pid()), "AXFocusedUIElement"), entry);

  app.select("entry", 6, 7);  // the emoji: one code point, two UTF-16 units
  EXPECT_EQ(string(entry, "AXSelectedText"), "😀");
  EXPECT_EQ(range(entry), (TextRange{6, 2}));
  app.select("entry", 8, 11);
  EXPECT_EQ(string(entry, "AXSelectedText"), "반갑습");
  EXPECT_EQ(range(entry), (TextRange{9, 3}));
  app.select("entry", 13, 13);
  EXPECT_EQ(string(entry, "AXSelectedText"), "");
  EXPECT_EQ(range(entry), (TextRange{14, 0}));

  auto frame = rect(entry);
  ASSERT_TRUE(frame);
  EXPECT_GT(frame->width, 100);
  EXPECT_GT(frame->height, 10);
  EXPECT_GE(frame->x, 0);
  EXPECT_GE(frame->y, 0);
}

TEST_F(AtspiDesktop, WritesSelectionRangeAndWholeText) {
  FixtureApp app({"--windows=editor", "--focus=entry", "--entry=안녕하세요 😀 반갑습니다"});
  ASSERT_TRUE(app.ready());
  auto entry = focusedWithRole("AXTextField");
  ASSERT_TRUE(entry);
  EXPECT_EQ(ax.isAttributeSettable(entry, "AXValue"), true);
  EXPECT_EQ(ax.isAttributeSettable(entry, "AXSelectedText"), true);
  EXPECT_EQ(ax.isAttributeSettable(entry, "AXSelectedTextRange"), true);

  // UTF-16 range 9..12 is 반갑습 after the two-unit emoji.
  ASSERT_TRUE(ax.setAttribute(entry, "AXSelectedTextRange", AXValue(TextRange{9, 3})));
  EXPECT_EQ(string(entry, "AXSelectedText"), "반갑습");
  ASSERT_TRUE(ax.setAttribute(entry, "AXSelectedText", AXValue(std::string("고마웠습"))));
  EXPECT_EQ(app.text("entry"), "안녕하세요 😀 고마웠습니다");
  EXPECT_EQ(range(entry), (TextRange{13, 0})) << "the caret after the inserted text";

  // A single-line field gets blanks for newlines.
  ASSERT_TRUE(ax.setAttribute(entry, "AXValue", AXValue(std::string("첫 줄\n둘째 줄"))));
  EXPECT_EQ(app.text("entry"), "첫 줄 둘째 줄");
  EXPECT_FALSE(ax.setAttribute(entry, "AXValue", AXValue(3.0))) << "wrong type";

  app.focus("text");
  auto text = focusedWithRole("AXTextArea");
  ASSERT_TRUE(text);
  std::string letter = "제목 없음\n\n두 번째 문단 🎉 끝";
  ASSERT_TRUE(ax.setAttribute(text, "AXValue", AXValue(letter)));
  EXPECT_EQ(app.text("text"), letter);
  EXPECT_EQ(string(text, "AXValue"), letter);
  // Replacing a selection that spans the emoji.
  ASSERT_TRUE(ax.setAttribute(text, "AXSelectedTextRange", AXValue(TextRange{15, 4})));
  EXPECT_EQ(string(text, "AXSelectedText"), "🎉 끝");
  ASSERT_TRUE(ax.setAttribute(text, "AXSelectedText", AXValue(std::string("축하"))));
  EXPECT_EQ(app.text("text"), "제목 없음\n\n두 번째 문단 축하");
}

TEST_F(AtspiDesktop, EmptyFieldShowsOnlyItsPlaceholder) {
  FixtureApp app({"--windows=editor", "--focus=entry", "--placeholder=검색어"});
  ASSERT_TRUE(app.ready());
  auto entry = focusedWithRole("AXTextField");
  ASSERT_TRUE(entry);
  EXPECT_EQ(string(entry, "AXValue"), "");
  EXPECT_EQ(string(entry, "AXSelectedText"), "");
  EXPECT_EQ(string(entry, "AXPlaceholderValue"), "검색어");
  EXPECT_EQ(range(entry), (TextRange{0, 0}));
  EXPECT_EQ(ax.isAttributeSettable(entry, "AXValue"), true);
  EXPECT_FALSE(bounds(entry, TextRange{0, 0})) << "no character to place a caret at";
}

// A field that refuses the new text keeps the selection it was to replace.
TEST_F(AtspiDesktop, RefusedReplacementKeepsTheSelectedText) {
  FixtureApp app({"--windows=editor", "--focus=entry", "--entry=안녕하세요 반갑습니다"});
  ASSERT_TRUE(app.ready());
  auto entry = focusedWithRole("AXTextField");
  ASSERT_TRUE(entry);
  ASSERT_TRUE(ax.setAttribute(entry, "AXSelectedTextRange", AXValue(TextRange{6, 5})));
  EXPECT_FALSE(ax.setAttribute(entry, "AXSelectedText", AXValue(std::string("거부될 글"))));
  EXPECT_EQ(app.text("entry"), "안녕하세요 반갑습니다");
}

TEST_F(AtspiDesktop, PasswordFieldNeverGivesItsText) {
  FixtureApp app({"--windows=editor", "--focus=password", "--password=s3cret!"});
  ASSERT_TRUE(app.ready());
  auto field = focusedWithRole("AXSecureTextField");
  ASSERT_TRUE(field);
  EXPECT_TRUE(ax.isPasswordFieldFocused());
  EXPECT_FALSE(ax.isTerminalFocused());
  EXPECT_FALSE(ax.copyAttribute(field, "AXValue"));
  EXPECT_FALSE(ax.copyAttribute(field, "AXSelectedText"));
  EXPECT_FALSE(bounds(field, TextRange{0, 3}));
  EXPECT_EQ(string(field, "AXSubrole"), "AXSecureTextField");
  EXPECT_EQ(ax.isAttributeSettable(field, "AXValue"), false);
  EXPECT_FALSE(ax.setAttribute(field, "AXValue", AXValue(std::string("x"))));
  EXPECT_EQ(app.text("password"), "s3cret!");

  app.focus("entry");
  ASSERT_TRUE(focusedWithRole("AXTextField"));
  EXPECT_FALSE(ax.isPasswordFieldFocused());
}

TEST_F(AtspiDesktop, BoundsForRangeLieInsideTheField) {
  FixtureApp app({"--windows=editor", "--focus=text", "--text=가나다 😀 라마\n둘째 줄"});
  ASSERT_TRUE(app.ready());
  auto text = focusedWithRole("AXTextArea");
  ASSERT_TRUE(text);
  auto frame = rect(text);
  auto first = bounds(text, TextRange{0, 1});
  auto emoji = bounds(text, TextRange{4, 2});
  auto caret = bounds(text, TextRange{7, 0});
  auto secondLine = bounds(text, TextRange{10, 2});
  auto end = bounds(text, TextRange{15, 0});
  ASSERT_TRUE(frame && first && emoji && caret && secondLine && end);
  EXPECT_GT(first->height, 0);
  EXPECT_GE(first->x, frame->x);
  EXPECT_LE(first->x + first->width, frame->x + frame->width);
  EXPECT_GT(emoji->x, first->x);
  EXPECT_EQ(caret->width, 0);
  EXPECT_GT(caret->x, emoji->x);
  EXPECT_GT(secondLine->y, first->y);
  EXPECT_EQ(end->width, 0);
  EXPECT_GT(end->x, secondLine->x);
  // Half an emoji still covers the whole of it.
  EXPECT_EQ(bounds(text, TextRange{4, 1}), emoji);
}

TEST_F(AtspiDesktop, FollowsFocusBetweenWindows) {
  FixtureApp app({"--windows=editor,mail", "--focus=entry", "--entry=편집기"});
  ASSERT_TRUE(app.ready());
  auto entry = focusedWithRole("AXTextField");
  ASSERT_TRUE(entry);
  app.focus("composer");
  auto composer = focusedWithRole("AXTextArea");
  ASSERT_TRUE(composer);
  EXPECT_EQ(string(composer, "AXValue"), "");
  EXPECT_NE(composer, entry);
  app.focus("entry");
  EXPECT_EQ(focusedWithRole("AXTextField"), entry);
}

// From the composer up to the application, then down again through the window's children.
TEST_F(AtspiDesktop, WalksTheMailWindow) {
  FixtureApp app({"--windows=mail", "--focus=composer"});
  ASSERT_TRUE(app.ready());
  auto composer = focusedWithRole("AXTextArea");
  ASSERT_TRUE(composer);
  std::vector<std::string> roles;
  ElementRef window, top;
  for (auto e = element(composer, "AXParent"); e; e = element(e, "AXParent")) {
    roles.push_back(string(e, "AXRole").value_or("?"));
    if (roles.back() == "AXWindow") window = e;
    top = e;
  }
  ASSERT_TRUE(window);
  EXPECT_EQ(string(top, "AXRole"), "AXApplication");
  EXPECT_LT(roles.size(), 12u);

  struct Item {
    std::string text;
    Rect frame;
  };
  std::vector<Item> texts;
  std::function<void(const ElementRef&, int)> walk = [&](const ElementRef& e, int depth) {
    auto role = string(e, "AXRole");
    if (role == "AXStaticText") {
      texts.push_back({string(e, "AXValue").value_or(""), rect(e).value_or(Rect{})});
      return;
    }
    for (auto& child : children(e)) {
      EXPECT_EQ(element(child, "AXParent"), e);
      walk(child, depth + 1);
    }
  };
  walk(window, 0);
  auto find = [&](const std::string& t) {
    for (auto& item : texts)
      if (item.text == t) return std::optional<Rect>(item.frame);
    return std::optional<Rect>();
  };
  auto sender = find("김민수 <minsu@example.com>");
  auto marker = find("-----Original Message-----");
  ASSERT_TRUE(sender);
  ASSERT_TRUE(marker);
  auto composerFrame = rect(composer);
  ASSERT_TRUE(composerFrame);
  EXPECT_LT(sender->y, marker->y);
  EXPECT_LT(marker->y, composerFrame->y);
  EXPECT_GE(texts.size(), 10u);
}

// The focused element counts only while its application's window is in front.
TEST_F(AtspiDesktop, FocusOfAnApplicationNotInFrontIsNeverUsed) {
  FixtureApp back({"--windows=editor", "--focus=entry", "--entry=뒤"});
  FixtureApp front({"--windows=editor", "--focus=entry", "--entry=앞"});
  ASSERT_TRUE(back.ready() && front.ready());
  front.focus("entry");
  ElementRef entry;
  ASSERT_TRUE(pumpUntil([&] {
    entry = element(ax.systemWide(), "AXFocusedUIElement");
    return entry && string(entry, "AXValue") == "앞";
  }));
  std::optional<std::int32_t> inFront = back.pid();
  ax.setFrontmostPid([&] { return inFront; });
  EXPECT_FALSE(ax.focusedElement()) << "the application in front has no focused element";
  inFront = front.pid();
  EXPECT_EQ(ax.focusedElement(), entry);
}

// A stopped application never stalls the periodic checks, costs at most one bounded wait over
// several triggers, and leaves the other applications' fields readable and writable.
TEST_F(AtspiDesktop, StoppedApplicationCostsAtMostOneWait) {
  FixtureApp hung({"--windows=editor", "--focus=entry", "--entry=멈춘 앱"});
  ASSERT_TRUE(hung.ready());
  ASSERT_TRUE(focusedWithRole("AXTextField"));
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
    ax.isPasswordFieldFocused();
    ax.isTerminalFocused();
    ax.trackedProcessId();
  }
  EXPECT_LT(seconds(), 2 * wait) << "the periodic checks call no application";

  linuxport::AtspiAccessibility fresh;  // has seen no focus event: each trigger searches
  auto searches = seconds();
  for (int i = 0; i < 6; ++i)
    EXPECT_FALSE(fresh.focusedElement());
  EXPECT_LT(seconds() - searches, 3 * wait) << "one wait, then the stopped application is skipped";

  FixtureApp other({"--windows=editor", "--focus=entry", "--entry=살아 있는 앱"});
  ASSERT_TRUE(other.ready());
  other.focus("entry");
  auto entry = focusedWithRole("AXTextField");
  ASSERT_TRUE(entry);
  EXPECT_EQ(string(entry, "AXValue"), "살아 있는 앱");
  ASSERT_TRUE(ax.setAttribute(entry, "AXValue", AXValue(std::string("고친 글"))));
  EXPECT_EQ(other.text("entry"), "고친 글");
  EXPECT_EQ(string(fresh.focusedElement(), "AXValue"), "고친 글");
}

TEST_F(AtspiDesktop, TerminalIsRecognisedAndKeepsItsText) {
  FixtureApp app({"--windows=terminal", "--focus=terminal"});
  ASSERT_TRUE(app.ready());
  if (!app.window("terminal")) GTEST_SKIP() << "fixture built without libvte";
  auto terminal = focusedWithRole("AXTerminal");
  ASSERT_TRUE(terminal);
  EXPECT_TRUE(ax.isTerminalFocused());
  EXPECT_FALSE(ax.isPasswordFieldFocused());
  EXPECT_FALSE(ax.copyAttribute(terminal, "AXValue"));
  EXPECT_EQ(ax.isAttributeSettable(terminal, "AXValue"), false);
}

TEST_F(AtspiDesktop, TrustedWhileTheRegistryListsApplications) {
  FixtureApp app({"--windows=editor"});
  ASSERT_TRUE(app.ready());
  EXPECT_TRUE(ax.isProcessTrusted(false));
  // The grant switches the desktop's accessibility on (this session's private HOME only).
  ASSERT_TRUE(std::string(std::getenv("HOME")).rfind(std::getenv("MIRELO_SESSION_ROOT"), 0) == 0);
  EXPECT_TRUE(ax.isProcessTrusted(true));
  FILE* p = popen(
      "gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method "
      "org.freedesktop.DBus.Properties.Get org.a11y.Status IsEnabled",
      "r");
  ASSERT_TRUE(p);
  char out[128] = {0};
  ASSERT_TRUE(fgets(out, sizeof out, p));
  pclose(p);
  EXPECT_EQ(std::string(out), "(<true>,)\n");
}

TEST_F(AtspiDesktop, WakingIsBookkeepingPerProcess) {
  auto app = ax.application(4242);
  EXPECT_EQ(ax.application(4242), app);
  EXPECT_FALSE(ax.copyAttribute(app, "AXManualAccessibility"));
  EXPECT_TRUE(ax.setAttribute(app, "AXManualAccessibility", AXValue(true)));
  EXPECT_EQ(ax.copyAttribute(app, "AXManualAccessibility"), AXValue(true));
  EXPECT_FALSE(ax.copyAttribute(app, "AXEnhancedUserInterface"));
  EXPECT_FALSE(ax.copyAttribute(ax.application(4243), "AXManualAccessibility"));
  EXPECT_FALSE(ax.setAttribute(app, "AXValue", AXValue(std::string("x"))));
}

TEST_F(AtspiDesktop, ElementOfAQuitApplicationReadsAbsentQuickly) {
  ElementRef entry;
  {
    FixtureApp app({"--windows=editor", "--focus=entry", "--entry=곧 사라짐"});
    ASSERT_TRUE(app.ready());
    entry = focusedWithRole("AXTextField");
    ASSERT_TRUE(entry);
  }
  auto start = std::chrono::steady_clock::now();
  for (auto name : {"AXValue", "AXSelectedText", "AXSelectedTextRange", "AXFrame", "AXRole",
                    "AXParent", "AXChildren"})
    EXPECT_FALSE(ax.copyAttribute(entry, name)) << name;
  EXPECT_FALSE(bounds(entry, TextRange{0, 1}));
  EXPECT_FALSE(ax.copyAttribute(entry, "AXRole"));
  EXPECT_FALSE(ax.setAttribute(entry, "AXValue", AXValue(std::string("x"))));
  EXPECT_FALSE(ax.isAttributeSettable(entry, "AXValue"));
  EXPECT_FALSE(element(ax.systemWide(), "AXFocusedUIElement"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace

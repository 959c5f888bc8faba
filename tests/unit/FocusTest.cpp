#include "field/Focus.h"

#include <gtest/gtest.h>

#include "fake/FakeDesktop.h"
#include "fake/FakeTextApp.h"
#include "fake/RunTask.h"
#include "field/AX.h"

namespace {

using fake::FakeElement;
using platform::Shortcut;
using Kind = Focus::ReadFailure::Kind;

// What a read found in one line: method | value | selected text | selected range.
std::string found(const FocusedField& f) {
  auto range = f.selectedRange ? std::to_string(f.selectedRange->location) + "+" +
                                     std::to_string(f.selectedRange->length)
                               : "-";
  return std::string(rawValue(f.readMethod)) + " | " + f.value.value_or("-") + " | " +
         f.selectedText.value_or("-") + " | " + range;
}

class FocusRead : public testing::Test {
 protected:
  void SetUp() override {
    AX::resetForTesting();
    editor.bringToFront();
  }

  FocusedField read(double* elapsed = nullptr) {
    return fake::runToEnd(desk.clock, Focus::read(desk.platform()), elapsed);
  }
  Focus::ReadFailure failure(double* elapsed = nullptr) {
    try {
      read(elapsed);
    } catch (const Focus::ReadFailure& f) {
      return f;
    }
    ADD_FAILURE() << "the read succeeded";
    return Focus::ReadFailure::noFocusedField();
  }
  // Takes the field's text away from accessibility, so that only a copy can read it.
  void hideText() {
    editor.field->attributes.erase("AXValue");
    editor.field->failing.insert("AXSelectedText");
  }
  std::shared_ptr<FakeElement> application(int pid) {
    return std::dynamic_pointer_cast<FakeElement>(desk.accessibility.application(pid));
  }

  fake::FakeDesktop desk;
  fake::FakeTextApp editor{desk, {4242, "org.example.Editor", "Editor"}};
};

TEST_F(FocusRead, ASelectionBeatsTheValueAndKeepsItsBlanks) {
  editor.setText("Dear team,  see you tomorrow", {4, 7});  // " team, "
  auto field = read();
  EXPECT_EQ(found(field), "AX 선택 | Dear team,  see you tomorrow |  team,  | 4+7");
  EXPECT_EQ(field.target(), " team, ");
  EXPECT_EQ(std::tie(field.pid, field.bundleID, field.appName),
            std::make_tuple(4242, "org.example.Editor", "Editor"));
}

TEST_F(FocusRead, TheValueBeatsACopyAndNoShortcutIsPosted) {
  editor.setText("a draft to polish", {17, 0});
  auto field = read();
  EXPECT_EQ(found(field), "AX 값 | a draft to polish | - | 17+0");
  EXPECT_EQ(field.target(), "a draft to polish");
  EXPECT_TRUE(desk.keyboard.posted.empty());
}

TEST_F(FocusRead, WithoutAccessibleTextTheSelectionIsCopied) {
  editor.setText("copied words", {0, 12});
  hideText();
  EXPECT_EQ(found(read()), "선택 복사 | - | copied words | -");
}

TEST_F(FocusRead, APlaceholderOrBlankDraftInAnEditableFieldIsEmpty) {
  for (std::string value : {"  Write a reply…\n", " \n\t "}) {
    editor.setText(value, {1, 0});
    editor.field->set("AXPlaceholderValue", std::string("Write a reply…"));
    auto f = failure();
    ASSERT_EQ(f.kind(), Kind::empty) << value;
    EXPECT_EQ(found(f.field()), "AX 값 |  | - | 1+0");
    EXPECT_EQ(f.field().element.get(), editor.field.get());
    EXPECT_EQ(desk.keyboard.posted.back(), Shortcut::copy) << "copy is tried first";
  }
}

TEST_F(FocusRead, EditableMeansAnEditableRoleOrASettableValueOrSelection) {
  editor.setText("", {0, 0});
  editor.field->set("AXRole", std::string("AXStaticText"));
  editor.field->settable.clear();
  EXPECT_EQ(failure().kind(), Kind::noFocusedField) << "a label is no field";
  editor.field->settable = {"AXSelectedText"};
  EXPECT_EQ(failure().kind(), Kind::empty);
  editor.field->settable.clear();
  editor.field->set("AXRole", std::string("AXSearchField"));
  EXPECT_EQ(failure().kind(), Kind::empty);
}

TEST_F(FocusRead, NoValueAndNothingCopiedIsUnreadable) {
  editor.field->attributes.erase("AXSelectedText");
  editor.field->attributes["AXValue"] = 3.0;  // a value of the wrong type reads as none
  auto f = failure();
  ASSERT_EQ(f.kind(), Kind::unreadable);
  EXPECT_EQ(f.appName(), "Editor");
}

TEST_F(FocusRead, ATerminalIsCopiedWithItsOwnChordAndMarked) {
  auto parent = std::make_shared<FakeElement>();
  parent->set("AXRole", std::string("AXTerminal"));
  // By its own role, by a terminal above it, by the program in front.
  for (int how = 0; how < 3; ++how) {
    desk.keyboard.posted.clear();
    editor.setText("ls -l", {0, 5});
    hideText();  // a terminal shows no text
    editor.field->set("AXRole", std::string(how == 0 ? "AXTerminal" : "AXTextArea"));
    if (how == 1) editor.field->set("AXParent", platform::ElementRef(parent));
    if (how == 2) {
      editor.field->attributes.erase("AXParent");
      editor.app.bundleID = "org.gnome.Terminal";
      editor.bringToFront();
    }
    auto field = read();
    EXPECT_TRUE(field.terminal) << how;
    EXPECT_EQ(field.selectedText, "ls -l") << how;
    EXPECT_EQ(desk.keyboard.posted, std::vector<Shortcut>{Shortcut::copyInTerminal}) << how;
  }
  editor.app.bundleID = "org.example.Editor";  // an element of unknown kind gets no copy at all
  editor.bringToFront();
  hideText();
  editor.field->failing.insert("AXRole");
  desk.keyboard.posted.clear();
  EXPECT_EQ(failure().kind(), Kind::unreadable);
  EXPECT_TRUE(desk.keyboard.posted.empty());
}

TEST_F(FocusRead, NothingInFrontOrNothingFocusedIsNoFocusedField) {
  desk.accessibility.focus(nullptr);
  double elapsed = -1;
  EXPECT_EQ(failure(&elapsed).kind(), Kind::noFocusedField);
  EXPECT_EQ(elapsed, 0) << "only a browser gets the retry";
}

TEST_F(FocusRead, AnApplicationWithoutANameIsNamedByItsIdentifier) {
  editor.setText("text", {});
  desk.workspace.frontmost = platform::RunningApplication{7, "", ""};
  EXPECT_EQ(read().appName, "");
  desk.workspace.frontmost = platform::RunningApplication{7, "org.example.Nameless", ""};
  EXPECT_EQ(read().appName, "org.example.Nameless");
}

TEST_F(FocusRead, WakesTheApplicationAndABrowserFully) {
  for (int pid : {4242, 900})
    application(pid)->settable = {"AXManualAccessibility", "AXEnhancedUserInterface"};
  editor.setText("text", {});
  read();
  ASSERT_EQ(application(4242)->writes.size(), 1u);
  EXPECT_EQ(application(4242)->writes[0].first, "AXManualAccessibility");
  desk.workspace.frontmost = platform::RunningApplication{900, "google-chrome", "Chrome"};
  read();
  EXPECT_EQ(application(900)->writes.size(), 2u);
}

class BrowserFocus : public FocusRead {
 protected:
  void SetUp() override {
    FocusRead::SetUp();
    editor.setText("typed in a page", {});
    desk.workspace.frontmost = platform::RunningApplication{900, "firefox", "Firefox"};
    desk.accessibility.focus(nullptr);
  }
};

TEST_F(BrowserFocus, BrowsersOffRefusesBeforeAnyAccessibilityCall) {
  desk.defaults.set("handleBrowsers", false);
  int calls = desk.accessibility.calls;
  EXPECT_EQ(failure().kind(), Kind::isBrowser);
  EXPECT_EQ(desk.accessibility.calls, calls);
  EXPECT_TRUE(AX::wokenPids().empty());
}

TEST_F(BrowserFocus, AFocusThatArrivesWithinTheWaitIsFoundOnTheRetry) {
  desk.clock.schedule(0.15, [&] { desk.accessibility.focus(editor.field); });
  double elapsed = 0;
  EXPECT_EQ(read(&elapsed).value, "typed in a page");
  EXPECT_DOUBLE_EQ(elapsed, Focus::kBrowserFocusWait);

  desk.accessibility.focus(nullptr);  // after the wait it is too late
  desk.clock.schedule(0.25, [&] { desk.accessibility.focus(editor.field); });
  EXPECT_EQ(failure(&elapsed).kind(), Kind::noFocusedField);
  EXPECT_DOUBLE_EQ(elapsed, 0.2);
}

TEST(FocusBrowsers, IdentifiersMatchExactly) {
  for (auto id : {"com.google.Chrome", "org.mozilla.firefox", "naver-whale", "vivaldi-stable"})
    EXPECT_TRUE(Focus::isBrowser(id)) << id;
  for (auto id : {"", "Firefox", "org.gnome.TextEditor", "com.google.Chrome.dev"})
    EXPECT_FALSE(Focus::isBrowser(id)) << id;
}

}  // namespace

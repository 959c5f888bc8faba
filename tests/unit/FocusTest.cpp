#include "field/Focus.h"

#include <gtest/gtest.h>

#include "fake/FakeDesktop.h"
#include "fake/FakeTextApp.h"
#include "fake/RunTask.h"
#include "field/AX.h"

namespace {

using fake::FakeElement;
using platform::TextRange;
using Kind = Focus::ReadFailure::Kind;
using Method = FocusedField::ReadMethod;

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

  fake::FakeDesktop desk;
  fake::FakeTextApp editor{desk, {4242, "org.example.Editor", "Editor"}};
};

TEST_F(FocusRead, ASelectionBeatsTheValueAndKeepsItsBlanks) {
  editor.setText("Dear team,  see you tomorrow", {4, 7});  // " team, "
  auto field = read();
  EXPECT_EQ(field.readMethod, Method::axSelected);
  EXPECT_EQ(field.selectedText, " team, ");
  EXPECT_EQ(field.value, "Dear team,  see you tomorrow");
  EXPECT_EQ(field.selectedRange, (TextRange{4, 7}));
  EXPECT_EQ(field.target(), " team, ");
  EXPECT_EQ(field.pid, 4242);
  EXPECT_EQ(field.bundleID, "org.example.Editor");
  EXPECT_EQ(field.appName, "Editor");
  EXPECT_EQ(field.element.get(), editor.field.get());
}

TEST_F(FocusRead, TheValueBeatsACopyAndNoShortcutIsPosted) {
  editor.setText("a draft to polish", {17, 0});
  double elapsed = -1;
  auto field = read(&elapsed);
  EXPECT_EQ(field.readMethod, Method::axValue);
  EXPECT_EQ(field.value, "a draft to polish");
  EXPECT_FALSE(field.selectedText);
  EXPECT_EQ(field.target(), "a draft to polish");
  EXPECT_TRUE(desk.keyboard.posted.empty());
  EXPECT_EQ(elapsed, 0);
}

TEST_F(FocusRead, WithoutAccessibleTextTheSelectionIsCopiedAndTheClipboardComesBack) {
  editor.setText("copied words", {0, 12});
  editor.field->attributes.erase("AXValue");
  editor.field->failing.insert("AXSelectedText");
  desk.pasteboard.contents = {{{"image/png", std::string("\x89PNG\0\1", 6)}, {"text/plain", "x"}}};
  auto before = desk.pasteboard.contents;
  double elapsed = 0;
  auto field = read(&elapsed);
  EXPECT_EQ(field.readMethod, Method::clipboardCopy);
  EXPECT_EQ(field.selectedText, "copied words");
  EXPECT_FALSE(field.value);
  EXPECT_FALSE(field.selectedRange);
  EXPECT_EQ(desk.pasteboard.contents, before);
  EXPECT_DOUBLE_EQ(elapsed, 0.12);
}

TEST_F(FocusRead, APlaceholderOrBlankDraftInAnEditableFieldIsEmpty) {
  for (std::string value : {"  Write a reply…\n", " \n\t "}) {
    editor.setText(value, {1, 0});
    editor.field->set("AXPlaceholderValue", std::string("Write a reply…"));
    auto f = failure();
    ASSERT_EQ(f.kind(), Kind::empty) << value;
    EXPECT_EQ(f.field().value, "");
    EXPECT_FALSE(f.field().selectedText);
    EXPECT_EQ(f.field().selectedRange, (TextRange{1, 0}));
    EXPECT_EQ(f.field().readMethod, Method::axValue);
    EXPECT_EQ(f.field().element.get(), editor.field.get());
    EXPECT_EQ(desk.keyboard.posted.back(), platform::Shortcut::copy) << "copy is tried first";
  }
}

TEST_F(FocusRead, AnEmptyFieldWithAnUnreportedSelectionStillWorksThroughCopy) {
  editor.setText("", {0, 0});
  desk.keyboard.onShortcut = [&](platform::Shortcut) { desk.pasteboard.setString("hidden"); };
  auto field = read();
  EXPECT_EQ(field.readMethod, Method::clipboardCopy);
  EXPECT_EQ(field.target(), "hidden");
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
  editor.field->attributes.erase("AXValue");
  editor.field->attributes.erase("AXSelectedText");
  editor.field->attributes["AXValue"] = 3.0;  // a value of the wrong type reads as none
  auto f = failure();
  ASSERT_EQ(f.kind(), Kind::unreadable);
  EXPECT_EQ(f.appName(), "Editor");
}

TEST_F(FocusRead, ATerminalIsCopiedWithItsOwnChordAndMarked) {
  editor.field->failing.insert("AXSelectedText");
  auto parent = std::make_shared<FakeElement>();
  parent->set("AXRole", std::string("AXTerminal"));
  // By its own role, by a terminal above it, by the program in front.
  for (int how = 0; how < 3; ++how) {
    desk.keyboard.posted.clear();
    editor.setText("ls -l", {0, 5});
    editor.field->attributes.erase("AXValue");  // a terminal shows no text
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
    EXPECT_EQ(desk.keyboard.posted,
              std::vector<platform::Shortcut>{platform::Shortcut::copyInTerminal})
        << how;
  }
}

TEST_F(FocusRead, AnElementOfUnknownKindGetsNoSyntheticCopy) {
  editor.setText("ls -l", {0, 5});
  editor.field->attributes.erase("AXValue");
  editor.field->failing.insert("AXSelectedText");
  editor.field->failing.insert("AXRole");
  EXPECT_EQ(failure().kind(), Kind::unreadable);
  EXPECT_TRUE(desk.keyboard.posted.empty());
}

TEST_F(FocusRead, NothingInFrontOrNothingFocusedIsNoFocusedField) {
  desk.accessibility.focus(nullptr);
  double elapsed = -1;
  EXPECT_EQ(failure(&elapsed).kind(), Kind::noFocusedField);
  EXPECT_EQ(elapsed, 0) << "only a browser gets the retry";
  desk.workspace.frontmost.reset();
  EXPECT_EQ(failure().kind(), Kind::noFocusedField);
}

TEST_F(FocusRead, AnApplicationWithoutIdentifierOrName) {
  editor.setText("text", {});
  desk.workspace.frontmost = platform::RunningApplication{7, "", ""};
  auto field = read();
  EXPECT_EQ(field.bundleID, "");
  EXPECT_EQ(field.appName, "");
  desk.workspace.frontmost = platform::RunningApplication{7, "org.example.Nameless", ""};
  EXPECT_EQ(read().appName, "org.example.Nameless");
}

TEST_F(FocusRead, WakesTheApplicationAndABrowserFully) {
  for (int pid : {4242, 900})
    std::dynamic_pointer_cast<FakeElement>(desk.accessibility.application(pid))->settable = {
        "AXManualAccessibility", "AXEnhancedUserInterface"};
  editor.setText("text", {});
  read();
  auto editorApp = std::dynamic_pointer_cast<FakeElement>(desk.accessibility.application(4242));
  ASSERT_EQ(editorApp->writes.size(), 1u);
  EXPECT_EQ(editorApp->writes[0].first, "AXManualAccessibility");
  desk.workspace.frontmost = platform::RunningApplication{900, "google-chrome", "Chrome"};
  read();
  auto browserApp = std::dynamic_pointer_cast<FakeElement>(desk.accessibility.application(900));
  EXPECT_EQ(browserApp->writes.size(), 2u);
}

class BrowserFocus : public FocusRead {
 protected:
  void SetUp() override {
    FocusRead::SetUp();
    editor.setText("typed in a page", {});
    desk.workspace.frontmost = platform::RunningApplication{900, "firefox", "Firefox"};
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
  desk.accessibility.focus(nullptr);
  desk.clock.schedule(0.15, [&] { desk.accessibility.focus(editor.field); });
  double elapsed = 0;
  auto field = read(&elapsed);
  EXPECT_EQ(field.value, "typed in a page");
  EXPECT_DOUBLE_EQ(elapsed, Focus::kBrowserFocusWait);
}

TEST_F(BrowserFocus, AFocusThatArrivesAfterTheWaitIsTooLate) {
  desk.accessibility.focus(nullptr);
  desk.clock.schedule(0.25, [&] { desk.accessibility.focus(editor.field); });
  double elapsed = 0;
  EXPECT_EQ(failure(&elapsed).kind(), Kind::noFocusedField);
  EXPECT_DOUBLE_EQ(elapsed, 0.2);
}

TEST(FocusBrowsers, TheListHoldsTheDesktopIdentifiersToo) {
  for (auto id : {"com.google.Chrome", "com.operasoftware.Opera", "firefox", "org.mozilla.firefox",
                  "chromium", "org.chromium.Chromium", "com.brave.Browser", "org.gnome.Epiphany",
                  "naver-whale", "vivaldi-stable"})
    EXPECT_TRUE(Focus::isBrowser(id)) << id;
  for (auto id : {"", "Firefox", "org.gnome.TextEditor", "com.google.Chrome.dev"})
    EXPECT_FALSE(Focus::isBrowser(id)) << id;
  EXPECT_EQ(Focus::browserBundleIDs().size(), 12u + 15u - 2u)
      << "org.mozilla.firefox and com.brave.Browser are on both lists";
}

}  // namespace

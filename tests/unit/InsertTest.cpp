#include "field/Insert.h"

#include <gtest/gtest.h>

#include "fake/FakeTextApp.h"
#include "fake/RunTask.h"
#include "field/AppMemory.h"

namespace {

using M = InsertMethod;
using platform::Shortcut;
using platform::TextRange;

class InsertWrite : public testing::Test {
 protected:
  void SetUp() override {
    AppMemory::resetForTesting();
    editor.bringToFront();
  }

  // The field as a read would have found it.
  FocusedField fieldAsRead() {
    FocusedField f;
    f.element = editor.field;
    f.pid = editor.app.pid;
    f.bundleID = editor.app.bundleID;
    f.appName = editor.app.name;
    f.value = editor.text;
    if (editor.selection.length > 0) f.selectedText = editor.selected();
    f.selectedRange = editor.selection;
    return f;
  }

  InsertResult write(const std::string& text, double* elapsed = nullptr) {
    return fake::runToEnd(desk.clock, Insert::write(desk.platform(), text, fieldAsRead()), elapsed);
  }

  std::vector<std::string> writtenAttributes() const {
    std::vector<std::string> names;
    for (const auto& w : editor.field->writes)
      names.push_back(w.first);
    return names;
  }

  fake::FakeDesktop desk;
  fake::FakeTextApp editor{desk, {31, "org.example.Mail", "Mail"}};
};

TEST_F(InsertWrite, AWholeFieldGoesThroughTheValueFirstAndIsRemembered) {
  editor.setText("draft text", {10, 0});
  double elapsed = 0;
  EXPECT_EQ(write("Polished text.", &elapsed), InsertResult::inserted(M::axValue));
  EXPECT_EQ(editor.text, "Polished text.");
  EXPECT_DOUBLE_EQ(elapsed, Insert::kVerifyPollInterval);
  EXPECT_EQ(AppMemory::working("org.example.Mail"), M::axValue);
  EXPECT_TRUE(desk.keyboard.posted.empty());
}

TEST_F(InsertWrite, WritesThatChangeNothingFallThroughToPasteAfterSelectingAll) {
  editor.setText("draft text", {3, 0});
  editor.ignoredWrites = {"AXValue", "AXSelectedText"};
  desk.pasteboard.setString("user's clipboard");
  double elapsed = 0;
  EXPECT_EQ(write("New text", &elapsed), InsertResult::inserted(M::paste));
  EXPECT_EQ(editor.text, "New text");
  EXPECT_EQ(writtenAttributes(),
            (std::vector<std::string>{"AXValue", "AXSelectedText", "AXSelectedTextRange"}));
  EXPECT_EQ(desk.keyboard.posted, std::vector<Shortcut>{Shortcut::paste});
  EXPECT_EQ(desk.pasteboard.string(), "user's clipboard");
  // Two verifications run out (9 polls each), then the paste's wait and one poll.
  EXPECT_NEAR(elapsed, 2 * 9 * 0.04 + 0.12 + 0.04, 1e-5);
  EXPECT_EQ(AppMemory::working("org.example.Mail"), M::paste);
}

TEST_F(InsertWrite, APasteSelectsTheTextAnEarlierFailedMethodLeftBehind) {
  // Writes of the value are ignored; a selected-text write inserts at the caret, which in a
  // whole-field write leaves draft and answer side by side and fails verification.
  editor.setText("draft", {5, 0});
  editor.ignoredWrites = {"AXValue"};
  EXPECT_EQ(write("answer"), InsertResult::inserted(M::paste));
  EXPECT_EQ(editor.text, "answer");
  EXPECT_EQ(editor.field->writes[2].second, platform::AXValue(TextRange{0, 11}));
}

TEST_F(InsertWrite, ARememberedPasteGoesFirstNextTime) {
  AppMemory::remember("org.example.Mail", M::paste);
  editor.setText("draft", {5, 0});
  EXPECT_EQ(write("Answer"), InsertResult::inserted(M::paste));
  EXPECT_EQ(writtenAttributes(), std::vector<std::string>{"AXSelectedTextRange"});
}

TEST_F(InsertWrite, ASelectionIsReplacedAndVerifiedAnywhereInTheField) {
  editor.setText("Hello  world, how are you?", {7, 5});  // "world"
  EXPECT_EQ(write(" dear   friend "), InsertResult::inserted(M::axSelectedText));
  EXPECT_EQ(editor.text, "Hello   dear   friend , how are you?");
  EXPECT_EQ(writtenAttributes(), std::vector<std::string>{"AXSelectedText"});
}

TEST_F(InsertWrite, ARememberedMethodTheSelectionDoesNotAllowIsIgnored) {
  AppMemory::remember("org.example.Mail", M::axValue);
  editor.setText("Hello world", {6, 5});
  editor.ignoredWrites = {"AXSelectedText"};
  EXPECT_EQ(write("there"), InsertResult::inserted(M::paste));
  EXPECT_EQ(editor.text, "Hello there");
  EXPECT_EQ(writtenAttributes(), std::vector<std::string>{"AXSelectedText"})
      << "no select-all when a selection is pasted over";
}

TEST_F(InsertWrite, NormalisedComparisonAcceptsReshapedText) {
  editor.setText("x", {1, 0});
  editor.reshape = [](const std::string& s) {
    std::string out;
    for (char c : s)
      out += c == ' ' ? std::string("  ") : std::string(1, c);
    return out + "\n";
  };
  EXPECT_EQ(write("one two\tthree"), InsertResult::inserted(M::axValue));
}

TEST_F(InsertWrite, ABrowserOnlyPastesAndSelectsAllWithTheKeyboardWhenItMust) {
  editor.app.bundleID = "com.google.Chrome";
  editor.bringToFront();
  editor.setText("", {0, 0});
  double elapsed = 0;
  EXPECT_EQ(write("Reply", &elapsed), InsertResult::inserted(M::paste));
  EXPECT_TRUE(editor.field->writes.empty());
  EXPECT_EQ(desk.keyboard.posted, (std::vector<Shortcut>{Shortcut::selectAll, Shortcut::paste}));
  EXPECT_NEAR(elapsed, Insert::kSelectAllWait + 0.12 + 0.04, 1e-5);
  EXPECT_EQ(editor.text, "Reply");
}

TEST_F(InsertWrite, AnUnreadableFieldCountsAsWrittenOnlyAfterAPaste) {
  // The selected-text write cannot be checked and falls through; the paste that follows is
  // selected by the length read before, and its unreadable result counts.
  editor.setText("old", {0, 0});
  editor.field->settable = {"AXSelectedText", "AXSelectedTextRange"};
  editor.field->failing.insert("AXValue");
  editor.pastes = false;
  double elapsed = 0;
  EXPECT_EQ(write("new", &elapsed), InsertResult::inserted(M::paste));
  EXPECT_EQ(writtenAttributes(),
            (std::vector<std::string>{"AXSelectedText", "AXSelectedTextRange"}));
  EXPECT_NEAR(elapsed, 0.04 + 0.12 + 0.04, 1e-5);
}

TEST_F(InsertWrite, AfterSwitchingApplicationsNothingIsPastedAndTheTextIsLeftOnTheClipboard) {
  editor.setText("old", {0, 0});
  editor.field->settable = {};
  desk.pasteboard.contents = {{{"image/png", "png"}, {platform::Pasteboard::kStringType, "mine"}}};
  desk.workspace.frontmost = platform::RunningApplication{99, "org.other", "Other"};
  EXPECT_EQ(write("the answer"), InsertResult::leftOnClipboard());
  EXPECT_TRUE(desk.keyboard.posted.empty());
  EXPECT_EQ(
      desk.pasteboard.contents,
      (std::vector<platform::PasteboardItem>{{{platform::Pasteboard::kStringType, "the answer"}}}));
  EXPECT_EQ(editor.text, "old");
  EXPECT_FALSE(AppMemory::working("org.example.Mail"));
}

TEST_F(InsertWrite, ASelectAllThatCannotBeSentPastesNothing) {
  editor.setText("draft", {0, 0});
  editor.field->settable = {};
  desk.keyboard.refused = {Shortcut::selectAll};
  desk.pasteboard.setString("mine");
  EXPECT_EQ(write("answer"), InsertResult::leftOnClipboard());
  EXPECT_TRUE(desk.keyboard.posted.empty()) << "no paste beside the draft";
  EXPECT_EQ(editor.text, "draft");
}

TEST_F(InsertWrite, AHeldBackSelectAllIsSentBeforeThePaste) {
  editor.setText("draft", {0, 0});
  editor.field->settable = {};
  desk.keyboard.shortcutDelay = 0.3;
  EXPECT_EQ(write("answer"), InsertResult::inserted(M::paste));
  EXPECT_EQ(desk.keyboard.posted, (std::vector<Shortcut>{Shortcut::selectAll, Shortcut::paste}));
  EXPECT_EQ(editor.text, "answer");
}

TEST_F(InsertWrite, ATerminalGetsNothingAndTheAnswerStaysOnTheClipboard) {
  editor.setText("$ ", {2, 0});
  auto field = fieldAsRead();
  field.terminal = true;
  EXPECT_EQ(fake::runToEnd(desk.clock, Insert::write(desk.platform(), "rm -rf ~\n", field)),
            InsertResult::leftOnClipboard());
  EXPECT_TRUE(editor.field->writes.empty());
  EXPECT_TRUE(desk.keyboard.posted.empty());
  EXPECT_EQ(desk.pasteboard.string(), "rm -rf ~\n");
}

TEST(InsertOrder, TheRememberedMethodLeadsOnceWhenAllowed) {
  AppMemory::resetForTesting();
  const std::vector<M> full{M::axValue, M::axSelectedText, M::paste};
  AppMemory::remember("a", M::axSelectedText);
  EXPECT_EQ(AppMemory::order("a", full), (std::vector<M>{M::axSelectedText, M::axValue, M::paste}));
}

TEST(InsertNormalize, CollapsesEveryKindOfWhitespace) {
  EXPECT_EQ(Insert::normalize("  a \n\t b\u3000c  \n"), "a b c");
  EXPECT_EQ(Insert::normalize("\n \n"), "");
  EXPECT_EQ(Insert::normalize("안녕하세요,\r\n반갑습니다"), "안녕하세요, 반갑습니다");
}

}  // namespace

#include "feedback/SelfTest.h"

#include <gtest/gtest.h>

#include "base/Log.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeTextApp.h"
#include "fake/RunTask.h"
#include "field/AX.h"

namespace {

using fake::FakeElement;

class Diagnosis : public testing::Test {
 protected:
  void SetUp() override { AX::resetForTesting(); }

  int run(std::vector<std::string> args) {
    args.insert(args.begin(), "mirelo");
    return fake::runToEnd(
        desk.clock,
        SelfTest::run(desk.platform(), args, [&](const std::string& l) { lines.push_back(l); }));
  }
  bool printed(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  Log::Capture capture;
  fake::FakeDesktop desk;
  fake::FakeTextApp editor{desk, {4242, "org.example.Editor", "Editor"}};
  std::vector<std::string> lines;
};

TEST_F(Diagnosis, HeaderThenTheReadPathOfADraft) {
  desk.secrets.items[{"com.mirelo.app", "session-token"}] = "t";
  desk.defaults.values["triggerMode"] = "double";
  editor.bringToFront();
  editor.setText("안녕하세요 초안입니다", {0, 0});
  EXPECT_EQ(run({"--diagnose"}), 0);
  std::vector<std::string> head(lines.begin(), lines.begin() + 6);
  EXPECT_EQ(head,
            (std::vector<std::string>{"── Mirelo 진단 ──", "손쉬운 사용   : 예",
                                      "입력 모니터링 : 예", "브라우저 담당 : 예",
                                      "트리거        : AltRight / double", "로그인        : 예"}));
  EXPECT_TRUE(printed("\n최전면: Editor (org.example.Editor)"));
  EXPECT_TRUE(printed("브라우저로 아는 앱인가: 아니오"));
  EXPECT_TRUE(printed("깨우기 전 포커스 원소: 있음"));
  EXPECT_TRUE(printed("접근성 깨우기: AXManualAccessibility"));
  EXPECT_TRUE(printed("포커스 원소 발견: 즉시"));
  EXPECT_TRUE(printed("역할: AXTextArea / -"));
  EXPECT_TRUE(printed("AXValue      : 11자"));
  EXPECT_TRUE(printed("✓ 읽음: Editor / AX 값"));
  EXPECT_TRUE(printed("  대상 글자 수: 11 (부분 치환: 아니오)"));
  // Every line is also logged.
  EXPECT_TRUE(capture.contains("app", Log::Level::notice, "[진단] 포커스 원소 발견: 즉시"));

  lines.clear();  // "--fire" names no application and taps at the end
  EXPECT_EQ(run({"--diagnose", "--fire"}), 0);
  EXPECT_EQ(desk.keyboard.triggerTaps, 1);
  EXPECT_EQ(lines.back(),
            "합성 완료 — 결과는 상주 인스턴스의 로그에 남습니다 (그 인스턴스의 터미널, 또는 "
            "journalctl -t mirelo)");
}

TEST_F(Diagnosis, WithoutTheApplicationInFrontItEndsWithStatusOne) {
  EXPECT_EQ(run({"--diagnose", "org.example.Missing"}), 1);
  EXPECT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines.back(), "\n✗ 실행 중이 아닙니다: org.example.Missing");
  desk.workspace.frontmost.reset();
  EXPECT_EQ(run({"--diagnose"}), 1);
  EXPECT_EQ(lines.back(), "\n✗ 최전면 앱을 알 수 없습니다");
}

TEST_F(Diagnosis, NamedApplicationIsBroughtForwardFirst) {
  fake::FakeTextApp other{desk, {7, "org.example.Other", "Other"}};
  other.bringToFront();
  editor.setText("x", {0, 0});
  desk.workspace.running.push_back(editor.app);
  run({"--diagnose", "org.example.Editor"});
  EXPECT_TRUE(printed("\norg.example.Editor 를 앞으로 불렀습니다 — 1.5초 기다립니다"));
  EXPECT_TRUE(printed("\n최전면: Editor (org.example.Editor)"));
}

TEST_F(Diagnosis, FocusFoundOnTheThirdReadAndNoneAtAll) {
  editor.bringToFront();
  editor.setText("draft text", {0, 0});
  desk.accessibility.focus(nullptr);
  desk.clock.schedule(0.45, [&] { desk.accessibility.focus(editor.field); });
  EXPECT_EQ(run({"--diagnose"}), 0);
  EXPECT_TRUE(printed("포커스 원소 발견: 0.6초 뒤"));

  lines.clear();
  desk.accessibility.focus(nullptr);
  EXPECT_EQ(run({"--diagnose"}), 2);
  EXPECT_EQ(lines[lines.size() - 2], "\n✗ 포커스된 입력창을 못 찾았습니다 (2초 동안 10번 확인)");
  EXPECT_EQ(lines.back(), "  → 이 상태에서 단축키를 누르면 앱은 아무것도 하지 않습니다.");
}

TEST_F(Diagnosis, AnEmptyComposerReadsThePageAround) {
  editor.bringToFront();
  editor.setText("", {0, 0});
  auto window = FakeElement::make("window");
  window->addChild(editor.field);
  auto line = [&](double y, const std::string& text) {
    auto e = FakeElement::make();
    e->set("AXRole", std::string("AXStaticText"))
        .set("AXValue", text)
        .set("AXFrame", platform::Rect{10, y, 300, 20});
    window->addChild(e);
  };
  line(100, "김민수 <minsu@example.com>");
  line(130, "안녕하세요, 금요일까지 보고서를 보내주실 수 있을까요?\n회의 전에 읽어보고 싶습니다.");
  editor.field->set("AXFrame", platform::Rect{10, 400, 600, 80});
  EXPECT_EQ(run({"--diagnose"}), 0);
  EXPECT_TRUE(printed("✗ 입력창이 비어 있습니다 — 새 답글을 만들 자리다. 맥락을 읽어본다:"));
  bool found = false;
  for (const auto& l : lines)
    found |= l.rfind("  ✓ 맥락 ", 0) == 0 && l.find("자 / 상대: 김민수") != std::string::npos;
  EXPECT_TRUE(found);
  EXPECT_TRUE(
      printed("  앞부분: 김민수 <minsu@example.com> ⏎ 안녕하세요, 금요일까지 보고서를 보내주실 수 "
              "있을까요? ⏎ "
              "회의 전에 읽어보고 싶습니다."));
}

TEST(DiagnosisWords, DescribeCountsCharacters) {
  EXPECT_EQ(SelfTest::describe(std::nullopt), "못 읽음(nil)");
  EXPECT_EQ(SelfTest::describe(""), "빈 문자열");
  EXPECT_EQ(SelfTest::describe("한글👍🏽"), "3자");
}

}  // namespace

#include "field/PageContext.h"

#include <gtest/gtest.h>

#include "base/Log.h"
#include "base/Text.h"
#include "fake/FakeAccessibility.h"

namespace {

using fake::FakeElement;
using Lines = std::vector<std::string>;

std::shared_ptr<FakeElement> node(const std::string& role) {
  auto e = FakeElement::make(role);
  e->set("AXRole", role);
  return e;
}

std::shared_ptr<FakeElement> text(double y, double x, const std::string& value,
                                  const std::string& role = "AXStaticText") {
  auto e = node(role);
  e->set("AXValue", value).set("AXFrame", platform::Rect{x, y, 100, 20});
  return e;
}

class PageContextRead : public testing::Test {
 protected:
  void SetUp() override {
    window->addChild(thread);
    window->addChild(composerBox);
    composerBox->addChild(composer);
    composer->set("AXFrame", platform::Rect{10, 500, 600, 80});
    field.element = composer;
  }

  // Reads with the plain walk and with the snapshot at once: both give the same reading and
  // log line.
  std::optional<PageContext::Reading> read() {
    ax.snapshots = false;
    ax.calls = 0;
    auto walked = PageContext::read(ax, clock, field);
    walkCalls = ax.calls;
    std::string walkedLog = logged();
    ax.snapshots = true;
    ax.calls = ax.snapshotReads = 0;
    EXPECT_EQ(PageContext::read(ax, clock, field, 0), walked);
    EXPECT_EQ(logged(), walkedLog);
    snapshotCalls = ax.calls;
    return walked;
  }
  const std::string& logged() const { return capture.records().back().message; }

  fake::FakeAccessibility ax;
  ManualClock clock{0};
  Log::Capture capture;
  std::shared_ptr<FakeElement> window = node("AXWindow");
  std::shared_ptr<FakeElement> thread = node("AXGroup");
  std::shared_ptr<FakeElement> composerBox = node("AXGroup");
  std::shared_ptr<FakeElement> composer = node("AXTextArea");
  FocusedField field;
  int walkCalls = 0, snapshotCalls = 0;
};

TEST_F(PageContextRead, TextAboveTheComposerInReadingOrder) {
  thread->addChild(text(300, 10, "  Second line of the message, below.  "));
  thread->addChild(text(100, 50, "Kim Minsu"));
  thread->addChild(text(100, 10, "From"));  // same line, further left: first
  thread->addChild(text(200, 10, "Hello, could you send the report by Friday?"));
  thread->addChild(text(250, 10, "Hello, could you send the report by Friday?"));  // duplicate
  thread->addChild(text(260, 10, " x "));                                          // too short
  thread->addChild(text(520, 10, "Send button label below the composer"));
  auto search = text(50, 10, "search field text is never context", "AXTextField");
  thread->addChild(search);
  auto reading = read();
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->text,
            "From\nKim Minsu\nHello, could you send the report by Friday?\n"
            "Second line of the message, below.");
  EXPECT_EQ(reading->recipient, "From");
  EXPECT_EQ(logged(), "맥락 수집: 93자 / 노드 14개 / 2단계 / 0ms / 상대 있음");
  EXPECT_EQ(capture.records().back().level, Log::Level::notice);
  EXPECT_GT(ax.snapshotReads, 0);
  EXPECT_LT(snapshotCalls, 5) << "only the composer's frame is asked one call at a time";
}

TEST_F(PageContextRead, TheSnapshotFallsBackToTheWalkWhereItCannotAnswer) {
  thread->addChild(text(100, 10, "Some message text long enough to be a context line."));
  auto app = node("AXApplication");
  app->addChild(window);
  auto elsewhere = node("AXWindow");
  app->addChild(elsewhere);
  elsewhere->addChild(text(0, 0, "another window's text"));
  elsewhere->bulkChildren = false;  // outside the walk: no matter
  ASSERT_TRUE(read());
  EXPECT_GT(ax.snapshotReads, 0);
  thread->bulkChildren = false;
  ASSERT_TRUE(read());
  EXPECT_EQ(snapshotCalls, walkCalls) << "the whole walk after a failed snapshot";
  thread->bulkChildren = true;
  ax.snapshotReadsFail = true;
  ASSERT_TRUE(read());
  EXPECT_EQ(snapshotCalls, walkCalls);
}

TEST_F(PageContextRead, AShortWalkNeedsNoSnapshotAndALongOneGivesWayToIt) {
  auto app = node("AXApplication");
  app->addChild(window);
  auto huge = node("AXWindow");
  app->addChild(huge);
  for (int i = 0; i < 3000; ++i)
    huge->addChild(text(i, 0, "another window's line"));
  thread->addChild(text(100, 10, "Some message text long enough to be a context line."));
  thread->addChild(text(120, 10, "And a second line, so that the climb ends at this window."));
  thread->addChild(text(140, 10, "A third line makes more than enough for a reply to go on."));
  ax.snapshots = true;
  auto small = PageContext::read(ax, clock, field);
  ASSERT_TRUE(small);
  EXPECT_EQ(ax.snapshotsTaken, 0) << "a small page is walked";

  for (int i = 0; i < PageContext::kWalkFirst; ++i)
    thread->addChild(node("AXImage"));
  auto big = read();
  ax.calls = 0;
  EXPECT_EQ(PageContext::read(ax, clock, field), big);
  EXPECT_EQ(ax.snapshotsTaken, 2) << "past the short walk, the bulk fetch";
  EXPECT_LT(ax.calls, walkCalls / 2);
  EXPECT_EQ(big->text, small->text);
}

TEST_F(PageContextRead, ClimbingStopsAtTheFirstAncestorWithEnoughText) {
  composerBox->addChild(text(450, 10, "To: Park Jiyoung, about the budget meeting"));
  auto outer = node("AXWindow");
  outer->addChild(window);
  outer->addChild(text(10, 10, std::string(200, 'z')));
  thread->addChild(text(100, 10, std::string(130, 'a')));
  auto reading = read();
  ASSERT_TRUE(reading);
  EXPECT_EQ(Text::characterCount(reading->text), 130 + 1 + 42);
  EXPECT_NE(logged().find("/ 2단계 /"), std::string::npos) << logged();
}

TEST_F(PageContextRead, AWebAreaEndsTheClimbWhateverItHolds) {
  auto page = node("AXWebArea");
  auto outer = node("AXWindow");
  outer->addChild(page);
  outer->addChild(text(10, 10, "Browser chrome text that is long enough to count, surely"));
  page->addChild(composerBox);
  composerBox->set("AXRole", std::string("AXGroup"));
  EXPECT_FALSE(read());  // composer box, then the web area: nothing above 40 characters
  EXPECT_EQ(logged(), "맥락 수집: 0자 / 노드 5개 / 2단계 / 0ms / 상대 없음");
}

// With nothing above the composer, the text below it counts.
TEST_F(PageContextRead, ThirtyNineCharactersAreTooFewAndFortyEnough) {
  auto line = text(600, 10, std::string(39, 'a'));
  thread->addChild(line);
  EXPECT_FALSE(read());
  line->set("AXValue", std::string(38, 'a') + "한");
  EXPECT_FALSE(read()) << "characters, not bytes";
  line->set("AXValue", std::string(40, 'a'));
  auto reading = read();
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->text, std::string(40, 'a'));
  composer->failing.insert("AXParent");
  EXPECT_FALSE(read());
  EXPECT_EQ(logged(), "맥락 수집: 0자 / 노드 0개 / 0단계 / 0ms / 상대 없음");
}

TEST_F(PageContextRead, HeadingsAndTitlesCountButOnlyWithAFrame) {
  auto heading = node("AXHeading");
  heading->set("AXTitle", std::string("Quarterly report discussion thread"))
      .set("AXFrame", platform::Rect{0, 20, 10, 10});
  thread->addChild(heading);
  auto frameless = node("AXStaticText");
  frameless->set("AXValue", std::string("text without a frame is not placed anywhere"));
  thread->addChild(frameless);
  auto emptyValue = text(30, 0, "");
  emptyValue->set("AXTitle", std::string("a title behind an empty value is not used"));
  thread->addChild(emptyValue);
  thread->addChild(text(40, 0, "and a short line here"));
  auto reading = read();
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->text, "Quarterly report discussion thread\nand a short line here");
}

TEST_F(PageContextRead, TheWalkStopsAtDepthSixtyAndAtItsBudget) {
  auto deepest = thread;
  for (int depth = 2; depth < 59; ++depth) {  // the thread is at depth 1 below the window
    auto g = node("AXGroup");
    deepest->addChild(g);
    deepest = g;
  }
  deepest->addChild(text(100, 0, "at depth fifty-nine, the last level that is read"));
  auto below = node("AXGroup");
  deepest->addChild(below);
  below->addChild(text(90, 0, "at depth sixty, never read"));
  auto reading = read();
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->text, "at depth fifty-nine, the last level that is read");

  auto crowd = node("AXGroup");
  window->addChild(crowd);
  for (int i = 0; i < 4000; ++i)
    crowd->addChild(node("AXImage"));
  crowd->addChild(text(80, 0, "beyond the budget of four thousand elements"));
  reading = read();
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->text, "at depth fifty-nine, the last level that is read");
}

TEST_F(PageContextRead, TheElapsedTimeComesFromTheClock) {
  struct SlowAccessibility : fake::FakeAccessibility {
    ManualClock& clock;
    explicit SlowAccessibility(ManualClock& c) : clock(c) {}
    std::optional<platform::AXValue> copyAttribute(const platform::ElementRef& e,
                                                   std::string_view name) override {
      clock.advance(0.001);
      return FakeAccessibility::copyAttribute(e, name);
    }
  } slow(clock);
  thread->addChild(text(100, 10, "Some message text long enough to be a context line."));
  ASSERT_TRUE(PageContext::read(slow, clock, field));
  EXPECT_EQ(logged(), "맥락 수집: 51자 / 노드 7개 / 2단계 / 19ms / 상대 없음");
}

TEST(PageContextHistory, QuoteMarkersCutOnlyAfterEnoughTextAndAHeaderNearAFromLine) {
  const Lines before{"Thanks for the update,", "see you at ten."};
  for (std::string marker :
       {"----- Original Message -----", "-- 원본 메일 --", "---Forwarded message---",
        "On Mon, 3 Jun 2024 at 10:00, Kim <kim@example.com> wrote:",
        "2024년 6월 3일 김민수 님이 작성:", "ON TUESDAY JOHN WROTE:"}) {
    Lines lines = before;
    lines.insert(lines.end(), {marker, "quoted text"});
    EXPECT_EQ(PageContext::stripQuotedHistory(lines), before) << marker;
  }
  const Lines body{"Please find the figures attached."};
  Lines withHeader = body;
  withHeader.insert(withHeader.end(), {"보낸 사람: 김민수", "a", "b", "c", "d", "e", "제목: 예산"});
  EXPECT_EQ(PageContext::stripQuotedHistory(withHeader), body);
  for (const Lines& kept :
       {Lines{"Thanks for the update, see you.", "-- Original Message", "rest"},
        Lines{"Thanks for the update, see you.", "Once upon a time wrote: more", "rest"},
        Lines{"Thanks for the update, see you.", "on x wrote:", "rest"},
        Lines{"Thanks for the update, see you.", "님이 작성: 다음", "rest"},
        Lines{"Short reply", "here.", "-----Original Message-----", "old"},  // 17 characters
        Lines{"From: a@b.c", "Subject: hi", "body"},                         // a header first
        Lines{"Please find the figures attached.", "FROM : Kim", "a", "b", "c", "d", "e", "f",
              "Subject: x"}})
    EXPECT_EQ(PageContext::stripQuotedHistory(kept), kept) << kept[1];
}

TEST(PageContextLines, SurvivingLinesCountNewlinesBetweenThem) {
  Lines lines{"aaaa", "bbb", "cc"};
  EXPECT_EQ(PageContext::survivingLines(lines, 11), (Lines{"aaaa", "bbb", "cc"}));
  EXPECT_EQ(PageContext::survivingLines(lines, 10), (Lines{"bbb", "cc"}));
  EXPECT_EQ(PageContext::survivingLines(lines, 6), (Lines{"bbb", "cc"}));
  EXPECT_EQ(PageContext::survivingLines(lines, 5), (Lines{"cc"}));
  EXPECT_EQ(PageContext::survivingLines(lines, 1), Lines{});
}

TEST(PageContextRecipient, NamesFromAddressesAndShortHeadings) {
  using PageContext::recipientName;
  EXPECT_EQ(recipientName("  홍길동   <gildong@example.com> "), "홍길동");
  EXPECT_EQ(recipientName("\"Kim, Minsu\" <minsu.kim@corp.example>"), "\"Kim, Minsu\"");
  EXPECT_EQ(recipientName("Re: 다음 주 회의 일정"), "Re: 다음 주 회의 일정");
  EXPECT_EQ(recipientName(std::string(40, 'n')), std::string(40, 'n'));
  for (std::string none :
       std::vector<std::string>{"K <k@example.com>", "Thanks.", "뭐 해?", "See www.example.com",
                                "x", " \n", std::string(41, 'n')})
    EXPECT_FALSE(recipientName(none)) << none;
  EXPECT_FALSE(recipientName(std::nullopt));
}

// The text is always the last 2,000 characters of all kept lines joined, whichever way the
// cut falls: inside a line, just after a newline, or inside one overlong line.
TEST(PageContextTail, IsTheLastTwoThousandCharactersOfTheJoinedLines) {
  auto items = [](const std::vector<std::string>& lines) {
    std::vector<PageContext::Item> out;
    for (size_t i = 0; i < lines.size(); ++i)
      out.push_back({static_cast<double>(i), 0, lines[i]});
    return out;
  };
  auto joined = [](const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines)
      s += (s.empty() ? "" : "\n") + l;
    return s;
  };
  std::vector<std::vector<std::string>> cases = {
      {std::string(1500, 'a'), std::string(499, 'b')},  // 2,000: no cut
      {std::string(1500, 'a'), std::string(500, 'b')},  // the cut leaves the newline first
      {std::string(1500, 'a'), std::string(498, 'b')},  // 1,999: no cut
      {"첫 줄입니다", std::string(1000, 'c'), std::string(1001, 'd')},
      {std::string(2500, 'e')},
      {"가나다라마바사아자차카타파하 👍🏽", std::string(1990, 'f')},
  };
  for (size_t i = 0; i < 40; ++i) {
    std::vector<std::string> mixed;
    for (size_t j = 0; j < 30; ++j)
      mixed.push_back(std::string(3 + (i * 7 + j * 13) % 90, 'x') + "한글 " + std::to_string(j));
    cases.push_back(mixed);
  }
  for (const auto& lines : cases) {
    auto reading = PageContext::assemble(items(lines), std::nullopt);
    EXPECT_EQ(reading.text, Text::suffix(joined(lines), 2000)) << lines.size();
    auto survivors = PageContext::survivingLines(lines, 2000);
    EXPECT_EQ(reading.recipient,
              PageContext::recipientName(survivors.empty() ? std::nullopt
                                                           : std::optional(survivors.front())));
  }
}

}  // namespace

// PageContext::read on fake windows of 4,000 (a mail client) and 15,000 (a web page) nodes,
// against the floor: a plain walk that only visits the same nodes (role and children).
#include <array>
#include <cstdint>
#include <regex>
#include <string>

#include "Bench.h"
#include "base/Log.h"
#include "fake/FakeAccessibility.h"
#include "field/AX.h"
#include "field/PageContext.h"

namespace {

using fake::FakeElement;
using Node = std::shared_ptr<FakeElement>;

constexpr std::array kSentences = {
    "안녕하세요, 지난주 회의에서 말씀드린 예산안 초안을 첨부합니다.",
    "검토하시고 금요일까지 의견 주시면 반영하겠습니다.",
    "일정이 조금 빠듯하지만 다음 달 초에는 출시할 수 있을 것 같아요.",
    "Thanks for the quick turnaround on the design review.",
    "Could you double-check the numbers in the third table before we send it out?",
    "I have attached the signed contract and the updated invoice.",
    "고객사에서 요청한 수정 사항은 모두 반영했습니다.",
    "혹시 내일 오후 세 시에 잠깐 통화 가능하실까요?",
    "The staging server will be down for maintenance tonight between 10 and 11 pm.",
    "참고로 지난번 자료에서 오타 몇 개를 고쳤습니다.",
    "Let me know if anything is unclear or if you need more context.",
    "이번 분기 실적 보고서는 공유 드라이브에 올려 두었습니다.",
    "We agreed to move the launch to the second week of March.",
    "감사합니다. 좋은 하루 보내세요!",
};
constexpr std::array kNames = {"김민수",       "이서연",     "박지훈",      "최지현", "정우성",
                               "Emily Carter", "Daniel Kim", "Sofia Rossi", "한가람", "오세훈"};
constexpr std::array kButtons = {"답장",  "전체 답장", "전달",    "보관", "삭제",
                                 "스팸",  "이동",      "태그",    "검색", "새 메일",
                                 "Reply", "Forward",   "Archive", "More"};

// Builds a window node by node, counting them, with text picked by a fixed pseudo-random
// sequence so every run sees the same tree.
class Builder {
 public:
  long count = 0;

  Node make(const std::string& role) {
    ++count;
    auto e = FakeElement::make();
    e->set("AXRole", role);
    return e;
  }
  Node text(double x, double y, const std::string& value,
            const std::string& role = "AXStaticText") {
    auto e = make(role);
    e->set("AXValue", value).set("AXFrame", platform::Rect{x, y, 400, 18});
    return e;
  }
  Node button(double x, double y, const std::string& title) {
    auto e = make("AXButton");
    e->set("AXTitle", title).set("AXFrame", platform::Rect{x, y, 60, 24});
    return e;
  }
  Node add(const Node& parent, Node child) {
    parent->addChild(child);
    return child;
  }
  std::uint32_t next() {
    seed_ = seed_ * 1664525u + 1013904223u;
    return seed_ >> 8;
  }
  std::string sentence() { return kSentences[next() % kSentences.size()]; }
  std::string paragraph() {
    std::string p = sentence();
    for (unsigned n = next() % 3; n > 0; --n)
      p += " " + sentence();
    return p;
  }
  std::string name() { return kNames[next() % kNames.size()]; }

 private:
  std::uint32_t seed_ = 12345;
};

struct Window {
  Node window;  // holds the tree: elements hold their parents weakly
  Node root;    // where the floor walk starts: the ancestor the reading stops at
  Node composer;
  long nodes = 0;  // in the root's subtree
};

// A mail client: toolbar, folders, message list, the open thread, and the reply box.
Window mailClient(long total) {
  Builder b;
  auto window = b.make("AXWindow");
  auto toolbar = b.add(window, b.make("AXToolbar"));
  for (int i = 0; i < 24; ++i)
    b.add(toolbar, b.button(10 + 70 * i, 8, kButtons[i % kButtons.size()]));
  auto folders = b.add(b.add(window, b.make("AXScrollArea")), b.make("AXOutline"));
  for (int i = 0; i < 40; ++i) {
    auto cell = b.add(b.add(folders, b.make("AXRow")), b.make("AXCell"));
    b.add(cell, b.text(10, 60 + 22 * i, "폴더 " + std::to_string(i)));
    b.add(cell, b.text(160, 60 + 22 * i, std::to_string(b.next() % 40)));
  }
  auto list = b.add(b.add(window, b.make("AXScrollArea")), b.make("AXTable"));
  for (int i = 0; i < 150; ++i) {
    auto row = b.add(list, b.make("AXRow"));
    double y = 60 + 20 * i;
    b.add(b.add(row, b.make("AXCell")), b.text(200, y, b.name()));
    b.add(b.add(row, b.make("AXCell")), b.text(320, y, b.sentence()));
    b.add(b.add(row, b.make("AXCell")), b.text(700, y, std::to_string(1 + i % 28) + "일"));
  }
  constexpr long kReplyNodes = 6;  // the reply box, its labels and fields, the composer
  auto pane = b.add(window, b.make("AXScrollArea"));
  for (int m = 0; b.count < total - kReplyNodes - 8; ++m) {
    auto message = b.add(pane, b.make("AXGroup"));
    auto header = b.add(message, b.make("AXGroup"));
    double y = 300 + (m * 37) % 560;
    b.add(header, b.text(800, y, b.name() + " <user" + std::to_string(m) + "@example.com>"));
    b.add(header, b.text(1200, y, "2024년 3월 " + std::to_string(1 + m % 28) + "일"));
    for (int p = 0; p < 3 && b.count < total - kReplyNodes - 2; ++p)
      b.add(message, b.text(800, y + 20 + 18 * p, b.paragraph()));
    if (b.count < total - kReplyNodes - 2 && m % 4 == 0)
      b.add(b.add(message, b.make("AXLink")),
            b.text(800, y + 80, "https://example.com/d/" + std::to_string(m)));
  }
  while (b.count < total - kReplyNodes)
    b.add(pane, b.make("AXImage"));
  auto reply = b.add(window, b.make("AXGroup"));
  b.add(reply, b.text(800, 860, "제목"));
  b.add(reply, b.make("AXTextField"));
  b.add(reply, b.text(800, 880, "받는 사람"));
  b.add(reply, b.make("AXTextField"));
  auto composer = b.add(reply, b.make("AXTextArea"));
  composer->set("AXFrame", platform::Rect{800, 900, 600, 200});
  return {window, window, composer, b.count};
}

// A browser window with a long discussion page whose comment box sits in the page itself.
Window webPage(long total) {
  Builder b;
  auto window = b.make("AXWindow");
  auto tabs = b.add(window, b.make("AXTabGroup"));
  for (int i = 0; i < 12; ++i)
    b.add(tabs, b.button(10 + 120 * i, 4, "탭 " + std::to_string(i)));
  auto chrome = b.add(window, b.make("AXToolbar"));
  for (int i = 0; i < 16; ++i)
    b.add(chrome, b.button(10 + 40 * i, 40, kButtons[i % kButtons.size()]));
  b.add(chrome, b.make("AXTextField"));

  auto page = b.add(window, b.make("AXWebArea"));
  auto nav = b.add(page, b.make("AXGroup"));
  for (int i = 0; i < 40; ++i)
    b.add(b.add(nav, b.make("AXLink")), b.text(10 + 60 * i, 90, "메뉴 " + std::to_string(i)));
  auto article = b.add(page, b.make("AXGroup"));
  b.add(article, b.text(100, 130, "다음 분기 제품 로드맵에 대한 의견을 모읍니다", "AXHeading"));
  b.add(article, b.text(100, 160, b.name()));
  for (int p = 0; p < 12; ++p)
    b.add(article, b.text(100, 190 + 40 * p, b.paragraph()));
  auto composer = b.make("AXTextArea");
  composer->set("AXFrame", platform::Rect{100, 720, 800, 120});
  page->addChild(composer);  // the composer's parent is the page itself, as in browsers
  auto comments = b.add(page, b.make("AXGroup"));
  constexpr long kLargestComment = 20;
  for (int c = 0; b.count + kLargestComment <= total; ++c) {
    // Pages nest their comments in several layers of generic containers.
    auto wrapper = b.add(comments, b.make("AXGroup"));
    auto inner =
        b.add(b.add(b.add(wrapper, b.make("AXGroup")), b.make("AXGroup")), b.make("AXGroup"));
    double y = 880 + 90 * c;
    b.add(b.add(inner, b.make("AXLink")), b.text(100, y, b.name()));
    b.add(inner, b.text(300, y, std::to_string(1 + c % 23) + "시간 전"));
    auto body = b.add(inner, b.make("AXGroup"));
    b.add(body, b.text(100, y + 20, b.paragraph()));
    if (c % 3 == 0) b.add(body, b.text(100, y + 40, b.paragraph()));
    auto actions = b.add(inner, b.make("AXGroup"));
    double x = 100;
    for (const char* a : {"좋아요", "답글", "신고"}) {
      b.add(actions, b.button(x, y + 60, a));
      x += 60;
    }
  }
  while (b.count < total)
    b.add(comments, b.make("AXImage"));
  return {window, page, composer, b.count};
}

long floorWalk(platform::Accessibility& ax, const platform::ElementRef& e) {
  long visited = 1;
  (void)AX::string(ax, e, "AXRole");
  for (const auto& child : AX::children(ax, e))
    visited += floorWalk(ax, child);
  return visited;
}

long loggedNodes(const Log::Capture& capture) {
  static const std::regex nodes("노드 ([0-9]+)개");
  std::smatch m;
  const auto& message = capture.records().back().message;
  return std::regex_search(message, m, nodes) ? std::stol(m[1]) : -1;
}

void measure(const std::string& label, const Window& w, int runs) {
  fake::FakeAccessibility ax;
  GLibClock clock;
  FocusedField field;
  field.element = w.composer;
  Log::Capture capture;  // keeps the per-read log line out of the output

  std::optional<PageContext::Reading> reading;
  double readMs = bench::medianMilliseconds(runs, [&] {
    capture.clear();
    reading = PageContext::read(ax, clock, field);
  });
  long visited = loggedNodes(capture);
  long floorNodes = 0;
  double floorMs = bench::medianMilliseconds(runs, [&] { floorNodes = floorWalk(ax, w.root); });

  const std::string prefix = "page_context." + label + ".";
  bench::report(prefix + "window_nodes", static_cast<double>(w.nodes), "nodes");
  bench::report(prefix + "read_nodes", static_cast<double>(visited), "nodes");
  bench::report(prefix + "floor_nodes", static_cast<double>(floorNodes), "nodes");
  bench::report(prefix + "read", readMs, "ms");
  bench::report(prefix + "floor", floorMs, "ms");
  bench::report(prefix + "ratio", readMs / floorMs, "x");
  bench::report(prefix + "text", reading ? static_cast<double>(reading->text.size()) : 0, "bytes");
}

const bench::Registration registered("page_context", [] {
  measure("mail_4000", mailClient(4000), 31);
  measure("web_15000", webPage(15000), 11);
});

}  // namespace

#include "field/PageContext.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "base/Log.h"
#include "base/Text.h"
#include "field/AX.h"
#include "field/SnapshotWalk.h"
#include "platform/AXNames.h"
#include "platform/AXSnapshot.h"

namespace PageContext {

namespace {

constexpr int kHeaderWindow = 6;
constexpr long kMinKeptBeforeCut = 20;
constexpr long kMinLine = 2;
constexpr long kMinName = 2;
constexpr long kMaxName = 40;

const Text::Regex& quoteMarker1() {
  static const Text::Regex r(
      "^-{2,}\\s*(original message|forwarded message|원본 메일|원본 메시지|전달된 메시지|"
      "元のメッセージ|転送されたメッセージ)\\s*-{2,}$",
      true);
  return r;
}
const Text::Regex& quoteMarker2() {
  static const Text::Regex r("^on\\s.{2,160}\\swrote:$", true);
  return r;
}
const Text::Regex& quoteMarker3() {
  static const Text::Regex r("님이 작성:$", true);
  return r;
}
const Text::Regex& fromLine() {
  static const Text::Regex r("^(from|보낸\\s*사람|差出人)\\s*:", true);
  return r;
}
const Text::Regex& otherHeaderLine() {
  static const Text::Regex r(
      "^(sent|date|to|cc|subject|보낸\\s*날짜|날짜|받는\\s*사람|참조|제목|送信日時|日時|宛先|件名)"
      "\\s*:",
      true);
  return r;
}
const Text::Regex& nameWithAddress() {
  static const Text::Regex r("^(.+?)\\s*<[^<>@\\s]+@[^<>\\s]+>$");
  return r;
}
const Text::Regex& link() {
  static const Text::Regex r("https?://|www\\.");
  return r;
}

constexpr std::string_view kSentenceEnders[] = {".", "?", "!", "。", "？", "！", "…"};

bool isQuoteMarker(const std::string& line) {
  return quoteMarker1().search(line) || quoteMarker2().search(line) || quoteMarker3().search(line);
}

// A kept line with its length in characters, counted once: a newline between two trimmed
// lines is always a character of its own, so lengths of joined lines add up.
struct Line {
  std::string text;
  long count = 0;
};

std::vector<Line> counted(std::vector<std::string> texts) {
  std::vector<Line> lines;
  for (auto& t : texts) {
    long n = Text::characterCount(t);
    lines.push_back({std::move(t), n});
  }
  return lines;
}

std::vector<std::string> texts(std::vector<Line> lines, size_t from = 0) {
  std::vector<std::string> out;
  for (size_t i = from; i < lines.size(); ++i)
    out.push_back(std::move(lines[i].text));
  return out;
}

std::string joined(const std::vector<Line>& lines, size_t from = 0) {
  std::string out;
  for (size_t i = from; i < lines.size(); ++i) {
    if (i > from) out += '\n';
    out += lines[i].text;
  }
  return out;
}

long joinedCount(const std::vector<Line>& lines, size_t from, size_t to) {
  if (to <= from) return 0;
  long n = static_cast<long>(to - from) - 1;
  for (size_t i = from; i < to; ++i)
    n += lines[i].count;
  return n;
}

bool startsHeaderBlock(const std::vector<Line>& lines, size_t i) {
  if (!fromLine().search(lines[i].text)) return false;
  for (size_t j = i + 1; j < lines.size() && j <= i + kHeaderWindow; ++j)
    if (otherHeaderLine().search(lines[j].text)) return true;
  return false;
}

// How many lines stay once quoted history is cut.
size_t keptBeforeHistory(const std::vector<Line>& lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!isQuoteMarker(lines[i].text) && !startsHeaderBlock(lines, i)) continue;
    return joinedCount(lines, 0, i) >= kMinKeptBeforeCut ? i : lines.size();
  }
  return lines.size();
}

// The index of the first of the last lines that fit in limit characters with their newlines.
size_t firstSurviving(const std::vector<Line>& lines, long limit) {
  long remaining = limit;
  size_t first = lines.size();
  while (first > 0) {
    long cost = lines[first - 1].count + (first == lines.size() ? 0 : 1);
    if (cost > remaining) break;
    remaining -= cost;
    --first;
  }
  return first;
}

struct Assembled {
  Reading reading;
  long count = 0;
};

// The reading of the kept lines: their text's tail of kMaxCharacters, and the recipient from
// the first line that survives whole.
Assembled fromLines(std::vector<Line> lines) {
  lines.resize(keptBeforeHistory(lines));
  Assembled a;
  a.count = joinedCount(lines, 0, lines.size());
  size_t first = 0;
  if (a.count <= kMaxCharacters) {
    a.reading.text = joined(lines);
  } else {
    first = firstSurviving(lines, kMaxCharacters);
    long left = kMaxCharacters - joinedCount(lines, first, lines.size());
    if (first == lines.size()) {
      a.reading.text = Text::suffix(lines.back().text, kMaxCharacters);
    } else {
      if (left > 0) a.reading.text = Text::suffix(lines[first - 1].text, left - 1) + "\n";
      a.reading.text += joined(lines, first);
    }
    a.count = kMaxCharacters;
  }
  if (first < lines.size()) a.reading.recipient = recipientName(lines[first].text);
  return a;
}

Assembled assembleCounted(std::vector<Item> items, std::optional<double> composerTop) {
  if (composerTop) {
    std::vector<Item> above;
    for (auto& item : items)
      if (item.y < *composerTop) above.push_back(item);
    if (!above.empty()) items = std::move(above);
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const Item& a, const Item& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
  std::vector<Line> lines;
  std::unordered_set<std::string> seen;
  for (const auto& item : items) {
    auto text = Text::trimmed(item.text);
    if (seen.contains(text)) continue;
    long n = Text::characterCount(text);
    if (n < kMinLine) continue;
    seen.insert(text);
    lines.push_back({std::move(text), n});
  }
  return fromLines(std::move(lines));
}

bool containsSentenceEnder(std::string_view line) {
  for (auto ender : kSentenceEnders)
    if (line.find(ender) != std::string_view::npos) return true;
  return false;
}

bool hasNameLength(std::string_view name) {
  long n = Text::characterCount(name);
  return n >= kMinName && n <= kMaxName;
}

}  // namespace

void collect(platform::Accessibility& ax, const platform::ElementRef& element, int depth,
             long& visited, long budget, std::vector<Item>& items) {
  if (depth > kMaxDepth || visited >= budget) return;
  ++visited;
  auto role = AX::string(ax, element, platform::AXAttribute::kRole).value_or(std::string());
  if (role == platform::AXRoleName::kTextArea || role == platform::AXRoleName::kTextField) return;
  if (role == platform::AXRoleName::kStaticText || role == platform::AXRoleName::kHeading) {
    auto text = AX::string(ax, element, platform::AXAttribute::kValue);
    if (!text) text = AX::string(ax, element, platform::AXAttribute::kTitle);
    if (!text || text->empty()) return;
    if (auto frame = AX::rect(ax, element, platform::AXAttribute::kFrame))
      items.push_back({frame->y, frame->x, std::move(*text)});
    return;
  }
  for (const auto& child : AX::children(ax, element))
    collect(ax, child, depth + 1, visited, budget, items);
}

Reading assemble(std::vector<Item> items, std::optional<double> composerTop) {
  return assembleCounted(std::move(items), composerTop).reading;
}

std::vector<std::string> stripQuotedHistory(std::vector<std::string> lines) {
  auto c = counted(std::move(lines));
  c.resize(keptBeforeHistory(c));
  return texts(std::move(c));
}

std::vector<std::string> survivingLines(const std::vector<std::string>& lines, long limit) {
  auto c = counted(lines);
  size_t first = firstSurviving(c, limit);
  return texts(std::move(c), first);
}

std::optional<std::string> recipientName(const std::optional<std::string>& line) {
  if (!line) return std::nullopt;
  auto trimmed = Text::trimmed(*line);
  if (trimmed.empty()) return std::nullopt;
  if (nameWithAddress().search(trimmed)) {
    auto name = Text::trimmed(std::string_view(trimmed).substr(0, trimmed.find('<')));
    if (hasNameLength(name)) return name;
    return std::nullopt;
  }
  if (hasNameLength(trimmed) && !link().search(trimmed) && !containsSentenceEnder(trimmed))
    return trimmed;
  return std::nullopt;
}

namespace {

struct Climb {
  Reading best;
  long bestCount = 0, nodes = 0, levels = 0;

  // Takes one ancestor's items; true when the climb ends there.
  bool add(std::vector<Item> items, long visited, bool webArea, std::optional<double> top) {
    nodes += visited;
    auto assembled = assembleCounted(std::move(items), top);
    if (assembled.count > bestCount) {
      best = std::move(assembled.reading);
      bestCount = assembled.count;
    }
    ++levels;
    return assembled.count >= kEnoughToStop || webArea || levels >= kMaxAncestors;
  }
};

// The climb one attribute call at a time; absent once it would visit more than limit nodes.
std::optional<Climb> walked(platform::Accessibility& ax, const platform::ElementRef& element,
                            std::optional<double> composerTop, long limit) {
  Climb climb;
  auto current = element;
  while (auto parent = AX::element(ax, current, platform::AXAttribute::kParent)) {
    current = *parent;
    const bool webArea =
        AX::string(ax, current, platform::AXAttribute::kRole) == platform::AXRoleName::kWebArea;
    long visited = 0;
    std::vector<Item> items;
    const long budget = webArea ? kWebAreaBudget : kBudget;
    const long remaining = limit - climb.nodes;
    collect(ax, current, 0, visited, remaining < budget ? remaining + 1 : budget, items);
    if (visited > remaining) return std::nullopt;
    if (climb.add(std::move(items), visited, webArea, composerTop)) break;
  }
  return climb;
}

// The same climb over a snapshot; absent when the snapshot cannot answer for some level.
std::optional<Climb> fromSnapshot(platform::AXSnapshot& snapshot,
                                  std::optional<double> composerTop) {
  const auto& nodes = snapshot.nodes();
  int current = snapshot.element();
  if (current < 0 || size_t(current) >= nodes.size()) return std::nullopt;
  SnapshotWalk walk(snapshot);
  Climb climb;
  while (nodes[current].parent >= 0) {
    current = nodes[current].parent;
    const bool webArea = nodes[current].role == platform::AXRoleName::kWebArea;
    long visited = 0;
    auto items = walk.collect(current, webArea ? kWebAreaBudget : kBudget, visited);
    if (!items) return std::nullopt;
    if (climb.add(std::move(*items), visited, webArea, composerTop)) break;
  }
  return climb;
}

}  // namespace

std::optional<Reading> read(platform::Accessibility& ax, Clock& clock, const FocusedField& field,
                            long walkFirst) {
  const double start = clock.now();
  std::optional<double> composerTop;
  if (auto frame = AX::rect(ax, field.element, platform::AXAttribute::kFrame))
    composerTop = frame->y;

  // Big windows take seconds one attribute call at a time: past a short walk, read in bulk
  // where the platform can.
  std::optional<Climb> climb;
  if (walkFirst > 0) climb = walked(ax, field.element, composerTop, walkFirst);
  if (!climb)
    if (auto snapshot = field.element ? ax.snapshot(field.element) : nullptr)
      climb = fromSnapshot(*snapshot, composerTop);
  if (!climb) climb = walked(ax, field.element, composerTop, std::numeric_limits<long>::max());
  auto& [best, bestCount, nodes, levels] = *climb;

  // Whole milliseconds; the small slack keeps sums of exact steps from truncating one short.
  auto elapsedMs = static_cast<long>(std::floor((clock.now() - start) * 1000.0 + 1e-3));
  Log::app.notice("맥락 수집: %ld자 / 노드 %ld개 / %ld단계 / %ldms / 상대 %{public}s", bestCount,
                  nodes, levels, elapsedMs, best.recipient ? "있음" : "없음");
  if (bestCount < kMinCharacters) return std::nullopt;
  return best;
}

}  // namespace PageContext

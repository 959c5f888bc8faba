#include "field/PageContext.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "base/Log.h"
#include "base/Text.h"
#include "field/AX.h"

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

bool startsHeaderBlock(const std::vector<std::string>& lines, size_t i) {
  if (!fromLine().search(lines[i])) return false;
  for (size_t j = i + 1; j < lines.size() && j <= i + kHeaderWindow; ++j)
    if (otherHeaderLine().search(lines[j])) return true;
  return false;
}

std::string joined(const std::vector<std::string>& lines, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out += '\n';
    out += lines[i];
  }
  return out;
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
  auto role = AX::string(ax, element, "AXRole").value_or(std::string());
  if (role == "AXTextArea" || role == "AXTextField") return;
  if (role == "AXStaticText" || role == "AXHeading") {
    auto text = AX::string(ax, element, "AXValue");
    if (!text) text = AX::string(ax, element, "AXTitle");
    if (!text || text->empty()) return;
    if (auto frame = AX::rect(ax, element, "AXFrame"))
      items.push_back({frame->y, frame->x, std::move(*text)});
    return;
  }
  for (const auto& child : AX::children(ax, element))
    collect(ax, child, depth + 1, visited, budget, items);
}

Reading assemble(std::vector<Item> items, std::optional<double> composerTop) {
  if (composerTop) {
    std::vector<Item> above;
    for (auto& item : items)
      if (item.y < *composerTop) above.push_back(item);
    if (!above.empty()) items = std::move(above);
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const Item& a, const Item& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
  std::vector<std::string> lines;
  std::set<std::string> seen;
  for (const auto& item : items) {
    auto line = Text::trimmed(item.text);
    if (Text::characterCount(line) < kMinLine || !seen.insert(line).second) continue;
    lines.push_back(std::move(line));
  }
  lines = stripQuotedHistory(std::move(lines));

  Reading reading;
  reading.text = joined(lines, lines.size());
  if (Text::characterCount(reading.text) > kMaxCharacters) {
    reading.text = Text::suffix(reading.text, kMaxCharacters);
    lines = survivingLines(lines, kMaxCharacters);
  }
  if (!lines.empty()) reading.recipient = recipientName(lines.front());
  return reading;
}

std::vector<std::string> stripQuotedHistory(std::vector<std::string> lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!isQuoteMarker(lines[i]) && !startsHeaderBlock(lines, i)) continue;
    if (Text::characterCount(joined(lines, i)) >= kMinKeptBeforeCut) lines.resize(i);
    return lines;
  }
  return lines;
}

std::vector<std::string> survivingLines(const std::vector<std::string>& lines, long limit) {
  long remaining = limit;
  size_t first = lines.size();
  while (first > 0) {
    long cost = Text::characterCount(lines[first - 1]) + (first == lines.size() ? 0 : 1);
    if (cost > remaining) break;
    remaining -= cost;
    --first;
  }
  return std::vector<std::string>(lines.begin() + static_cast<long>(first), lines.end());
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

std::optional<Reading> read(platform::Accessibility& ax, Clock& clock, const FocusedField& field) {
  const double start = clock.now();
  std::optional<double> composerTop;
  if (auto frame = AX::rect(ax, field.element, "AXFrame")) composerTop = frame->y;

  Reading best;
  long bestCount = 0, nodes = 0, levels = 0;
  auto current = field.element;
  while (auto parent = AX::element(ax, current, "AXParent")) {
    current = *parent;
    const bool webArea = AX::string(ax, current, "AXRole") == "AXWebArea";
    long visited = 0;
    std::vector<Item> items;
    collect(ax, current, 0, visited, webArea ? kWebAreaBudget : kBudget, items);
    nodes += visited;
    auto reading = assemble(std::move(items), composerTop);
    long count = Text::characterCount(reading.text);
    if (count > bestCount) {
      best = std::move(reading);
      bestCount = count;
    }
    ++levels;
    if (count >= kEnoughToStop || webArea || levels >= kMaxAncestors) break;
  }

  // Whole milliseconds; the small slack keeps sums of exact steps from truncating one short.
  auto elapsedMs = static_cast<long>(std::floor((clock.now() - start) * 1000.0 + 1e-3));
  Log::app.notice("맥락 수집: %ld자 / 노드 %ld개 / %ld단계 / %ldms / 상대 %{public}s", bestCount,
                  nodes, levels, elapsedMs, best.recipient ? "있음" : "없음");
  if (bestCount < kMinCharacters) return std::nullopt;
  return best;
}

}  // namespace PageContext

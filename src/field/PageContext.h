#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "field/FocusedField.h"
#include "platform/Accessibility.h"

// The visible text of the window above an empty field (the message being answered) and a
// guess at the name of the person being answered.
namespace PageContext {

struct Reading {
  std::string text;  // lines joined by "\n", at most kMaxCharacters characters
  std::optional<std::string> recipient;
  bool operator==(const Reading&) const = default;
};

// A piece of text with the top-left corner of its frame (y grows downward).
struct Item {
  double y = 0;
  double x = 0;
  std::string text;
};

inline constexpr int kMaxAncestors = 60;
inline constexpr long kBudget = 4000;
inline constexpr long kWebAreaBudget = 15000;
inline constexpr int kMaxDepth = 59;
inline constexpr long kEnoughToStop = 120;
inline constexpr long kMinCharacters = 40;
inline constexpr long kMaxCharacters = 2000;
// A walk of a small page is cheaper than fetching a big application's whole tree at once; a
// walk that would visit more nodes than this gives way to the bulk fetch.
inline constexpr long kWalkFirst = 100;

// Absent when fewer than kMinCharacters characters of context were found. Logs one line.
std::optional<Reading> read(platform::Accessibility& ax, Clock& clock, const FocusedField& field,
                            long walkFirst = kWalkFirst);

// The steps of read, each usable on its own.
void collect(platform::Accessibility& ax, const platform::ElementRef& element, int depth,
             long& visited, long budget, std::vector<Item>& items);
Reading assemble(std::vector<Item> items, std::optional<double> composerTop);
std::vector<std::string> stripQuotedHistory(std::vector<std::string> lines);
std::vector<std::string> survivingLines(const std::vector<std::string>& lines, long limit);
std::optional<std::string> recipientName(const std::optional<std::string>& line);

}  // namespace PageContext

#include "account/LoopbackRequest.h"

#include <glib.h>

#include <vector>

namespace LoopbackRequest {

namespace {

// One item of a query, percent-decoded; its value is absent without "=".
struct QueryItem {
  std::string name;
  std::optional<std::string> value;
};

// Absent for a bad escape or bytes that are not UTF-8.
std::optional<std::string> decoded(std::string_view part) {
  gchar* raw = g_uri_unescape_segment(part.data(), part.data() + part.size(), nullptr);
  if (!raw) return std::nullopt;
  std::string out(raw);
  g_free(raw);
  if (!g_utf8_validate(out.data(), static_cast<gssize>(out.size()), nullptr)) return std::nullopt;
  return out;
}

std::optional<std::vector<QueryItem>> queryItems(std::string_view query) {
  std::vector<QueryItem> items;
  while (!query.empty()) {
    auto amp = query.find('&');
    std::string_view piece = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (piece.empty()) continue;
    auto eq = piece.find('=');
    auto name = decoded(piece.substr(0, eq));
    if (!name) return std::nullopt;
    QueryItem item{*name, std::nullopt};
    if (eq != std::string_view::npos) {
      item.value = decoded(piece.substr(eq + 1));
      if (!item.value) return std::nullopt;
    }
    items.push_back(std::move(item));
  }
  return items;
}

std::optional<std::string> firstValue(const std::vector<QueryItem>& items, std::string_view name) {
  for (const auto& item : items)
    if (item.name == name) return item.value;
  return std::nullopt;
}

// The request target of the first line; absent when it is no readable request line.
std::optional<std::string> requestTarget(std::string_view bytes) {
  size_t begin = bytes.find_first_not_of("\r\n");
  if (begin == std::string_view::npos) return std::nullopt;
  size_t end = bytes.find("\r\n", begin);
  if (end == std::string_view::npos) return std::nullopt;  // cut off before the line ended
  std::string_view line = bytes.substr(begin, end - begin);
  if (!g_utf8_validate(line.data(), static_cast<gssize>(line.size()), nullptr)) return std::nullopt;
  std::vector<std::string_view> pieces;
  while (!line.empty()) {
    auto blank = line.find(' ');
    if (blank != 0) pieces.push_back(line.substr(0, blank));
    line = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
  }
  if (pieces.size() < 2) return std::nullopt;
  return std::string(pieces[1]);
}

}  // namespace

std::optional<Callback> parse(std::string_view bytes) {
  auto target = requestTarget(bytes);
  if (!target) return std::nullopt;
  std::string url = "http://127.0.0.1" + *target;
  gchar* query = nullptr;
  if (!g_uri_split(url.c_str(), G_URI_FLAGS_ENCODED, nullptr, nullptr, nullptr, nullptr, nullptr,
                   &query, nullptr, nullptr))
    return std::nullopt;
  auto items = queryItems(query ? query : "");
  g_free(query);
  if (!items) return std::nullopt;
  return Callback{firstValue(*items, "code"), firstValue(*items, "state"),
                  firstValue(*items, "error")};
}

}  // namespace LoopbackRequest

#include "kb/TarnBridge.h"

#include <charconv>
#include <exception>

#include "account/Settings.h"
#include "base/Log.h"
#include "kb/TarnStore.h"

namespace {

constexpr const char* kUnknown = "알 수 없는 요청입니다";

struct ParsedURL {
  std::string scheme, host;
  std::optional<int> port;
};

// Scheme, host and explicit port of an absolute URL, textually, without changing case.
std::optional<ParsedURL> parseURL(const std::string& url) {
  auto colon = url.find("://");
  if (colon == std::string::npos || colon == 0) return std::nullopt;
  ParsedURL out{url.substr(0, colon), {}, {}};
  auto start = colon + 3;
  auto end = url.find_first_of("/?#", start);
  std::string authority = url.substr(start, end == std::string::npos ? end : end - start);
  if (auto at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
  auto portColon = authority.rfind(':');
  if (portColon != std::string::npos && authority.find(']', portColon) == std::string::npos) {
    std::string digits = authority.substr(portColon + 1);
    authority.erase(portColon);
    if (!digits.empty()) {
      int port = 0;
      auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
      if (ec != std::errc() || p != digits.data() + digits.size()) return std::nullopt;
      out.port = port;
    }
  }
  out.host = authority;
  if (out.host.empty()) return std::nullopt;
  return out;
}

// Text that a reply can carry as a JSON string, else nothing.
std::optional<Json> textValue(const std::optional<std::string>& text) {
  if (!text) return Json(nullptr);
  try {
    Json value = *text;
    (void)value.dump();  // throws on bytes that are not UTF-8
    return value;
  } catch (const Json::exception&) {
    return Json(nullptr);
  }
}

}  // namespace

bool TarnBridge::isDashboardOrigin(const platform::SecurityOrigin& origin,
                                   const std::string& backendURL) {
  auto url = parseURL(backendURL);
  if (!url) return false;
  const int defaultPort = url->scheme == "https" ? 443 : 80;
  const int originPort = origin.port == 0 ? defaultPort : origin.port;
  const int backendPort = url->port.value_or(defaultPort);
  return origin.protocol == url->scheme && origin.host == url->host && originPort == backendPort;
}

std::optional<std::string> TarnBridge::pageURL(const std::string& path,
                                               const std::string& token) const {
  std::string url = Settings::backendURL(defaults_) + path + "#s=" + token;
  if (url.find("://") == std::string::npos) return std::nullopt;
  return url;
}

bool TarnBridge::isDashboardOrigin(const platform::SecurityOrigin& origin) const {
  return isDashboardOrigin(origin, Settings::backendURL(defaults_));
}

TarnBridge::Answer TarnBridge::handle(const platform::ScriptMessage& message) {
  if (!message.mainFrame || !isDashboardOrigin(message.origin)) return {{}, "not-allowed"};
  const Json& body = message.body;
  if (!body.is_object() || body.empty()) return {{}, kUnknown};
  auto type = JsonValue::string(body, "type");
  if (!type) return {{}, kUnknown};
  try {
    if (*type == "load")
      return {Json{{"json", *textValue(TarnStore::read(TarnStore::tarnFile()))}}, {}};
    if (*type == "save") return save(message, body);
    if (*type == "loadAvatar")
      return {Json{{"dataUrl", *textValue(TarnStore::read(TarnStore::avatarFile()))}}, {}};
    if (*type == "saveAvatar") {
      TarnStore::saveAvatar(JsonValue::string(body, "dataUrl"));
      return {Json{{"ok", true}}, {}};
    }
    if (*type == "usage")
      return {Json{{"bytes", TarnStore::usage()}, {"path", TarnStore::directory()}}, {}};
    if (*type == "clear") {
      TarnStore::clear();
      return {Json{{"ok", true}}, {}};
    }
  } catch (const std::exception& e) {
    Log::app.error("타르노 저장 실패: %{public}s", e.what());
    return {{}, std::string(e.what())};
  }
  return {{}, kUnknown};
}

TarnBridge::Answer TarnBridge::save(const platform::ScriptMessage& message, const Json& body) {
  if (message.view && message.view == headlessWebView && isDashboardActive()) {
    Log::app.notice("헤드리스 저장 보류 — 대시보드가 타르노를 잡고 있다");
    return {{}, "tarn-busy"};
  }
  auto json = JsonValue::string(body, "json");
  if (!json) return {{}, "저장할 내용이 없습니다"};
  TarnStore::ensureDirectory();
  TarnStore::writeAtomically(*json, TarnStore::tarnFile());
  return {Json{{"ok", true}, {"bytes", TarnStore::usage()}}, {}};
}

void TarnBridge::reply(const platform::ScriptMessage& message, const platform::ScriptReply& reply) {
  Answer answer = handle(message);
  if (answer.error) return reply(std::nullopt, *answer.error);
  reply(answer.value, {});
}

#include "account/Api.h"

#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Log.h"
#include "base/Text.h"

namespace Api {

using platform::HttpRequest;
using platform::HttpResponse;

namespace {

std::string tokenOrThrow(platform::Platform& p) {
  auto token = Keychain::get(p.secrets, Keychain::kSessionToken);
  if (!token) throw ApiError::notSignedIn();
  return *token;
}

HttpRequest request(platform::Platform& p, std::string_view component, const std::string& token) {
  HttpRequest r;
  r.url = endpoint(Settings::backendURL(p.defaults), component);
  r.headers["Authorization"] = "Bearer " + token;
  return r;
}

HttpRequest postRequest(platform::Platform& p, std::string_view component, const std::string& token,
                        const Json& body) {
  HttpRequest r = request(p, component, token);
  r.method = "POST";
  r.headers["Content-Type"] = "application/json";
  r.timeoutSeconds = kWriteTimeoutSeconds;
  try {
    r.body = body.dump();
  } catch (const Json::exception& e) {
    throw platform::HttpError(std::string("요청을 만들지 못했습니다 (") + e.what() + ")");
  }
  return r;
}

// The body as a JSON object; anything else counts as no object.
Json bodyObject(const HttpResponse& response) {
  auto parsed = JsonValue::parse(response.body);
  return parsed && parsed->is_object() ? *parsed : Json::object();
}

[[noreturn]] void throwGeneric(const Json& body, long status) {
  auto message = JsonValue::string(body, "error");
  throw ApiError::server(message.value_or("서버 오류 (" + std::to_string(status) + ")"));
}

// What rewrite and generate share once the answer holds no usable result.
[[noreturn]] void throwFailure(platform::Platform& p, long status, const Json& body,
                               bool placeholderMeansDraft) {
  if (status == 401) {
    Keychain::remove(p.secrets, Keychain::kSessionToken);
    p.defaults.remove(Settings::kAccountEmail);
    throw ApiError::unauthorized();
  }
  if (status == 402) {
    throw ApiError::capReached(
        JsonValue::string(body, "error").value_or("이번 달 한도를 다 썼습니다"));
  }
  if (status == 422 && placeholderMeansDraft &&
      JsonValue::string(body, "code") == "placeholder_draft") {
    throw ApiError::placeholderDraft();
  }
  throwGeneric(body, status);
}

Json requestBody(std::string_view field, const std::string& value, const std::optional<Json>& kb) {
  Json body = {{std::string(field), value}, {"useKb", kb.has_value()}};
  if (kb) body["kb"] = *kb;
  return body;
}

}  // namespace

std::string endpoint(std::string_view base, std::string_view component) {
  // The path ends where a query or fragment begins (after the scheme's "//").
  size_t pathStart = base.find("//");
  pathStart = pathStart == std::string_view::npos ? 0 : pathStart + 2;
  size_t pathEnd = base.find_first_of("?#", pathStart);
  if (pathEnd == std::string_view::npos) pathEnd = base.size();
  std::string path(base.substr(0, pathEnd));
  while (path.size() > pathStart && path.back() == '/')
    path.pop_back();
  return path + "/" + std::string(component) + std::string(base.substr(pathEnd));
}

Task<std::string> rewrite(platform::Platform p, std::string text,
                          std::optional<std::string> instruction, std::optional<Json> kb) {
  std::string token = tokenOrThrow(p);
  Json body = requestBody("text", text, kb);
  if (instruction) body["instruction"] = *instruction;
  HttpRequest r = postRequest(p, "rewrite", token, body);
  Log::api.info("POST %{public}s (%ld자)", r.url, Text::characterCount(text));

  HttpResponse response = co_await p.http.send(std::move(r));
  Json answer = bodyObject(response);
  Log::api.info("응답 %ld", response.status);
  if (response.status == 200) {
    if (auto rewritten = JsonValue::string(answer, "rewritten")) co_return *rewritten;
    throwGeneric(answer, response.status);
  }
  throwFailure(p, response.status, answer, true);
}

Task<Generated> generate(platform::Platform p, std::string context, std::optional<Json> kb,
                         std::optional<std::string> sourcePost) {
  std::string token = tokenOrThrow(p);
  Json body = requestBody("context", context, kb);
  if (sourcePost && !sourcePost->empty()) body["sourcePost"] = *sourcePost;
  HttpRequest r = postRequest(p, "generate", token, body);
  Log::api.info("POST %{public}s (맥락 %ld자, 타르노 %{public}s)", r.url,
                Text::characterCount(context), kb ? "실음" : "없음");

  HttpResponse response = co_await p.http.send(std::move(r));
  Json answer = bodyObject(response);
  Log::api.info("응답 %ld", response.status);
  if (response.status == 200) {
    if (auto reply = JsonValue::string(answer, "reply"))
      co_return Generated{*reply, JsonValue::string(answer, "memoryNote")};
    throwGeneric(answer, response.status);
  }
  throwFailure(p, response.status, answer, false);
}

Task<Usage> usage(platform::Platform p) {
  std::string token = tokenOrThrow(p);
  HttpRequest r = request(p, "usage", token);
  r.timeoutSeconds = kUsageTimeoutSeconds;

  HttpResponse response = co_await p.http.send(std::move(r));
  auto parsed = JsonValue::parse(response.body);
  if (response.status != 200 || !parsed || !parsed->is_object())
    throw ApiError::server("사용량을 읽지 못했습니다");
  Usage u;
  u.spentKrw = JsonValue::number(*parsed, "spentKrw");
  u.capKrw = JsonValue::number(*parsed, "capKrw");
  u.plan = JsonValue::string(*parsed, "plan").value_or("free");
  co_return u;
}

}  // namespace Api

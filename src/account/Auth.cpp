#include "account/Auth.h"

#include <glib.h>

#include <memory>

#include "account/Api.h"
#include "account/Keychain.h"
#include "account/LoopbackListener.h"
#include "account/Settings.h"
#include "base/Crypto.h"
#include "base/Json.h"

namespace Auth {

using platform::HttpRequest;
using platform::HttpResponse;

namespace {

std::string percentEncoded(std::string_view value, std::string_view keep) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : value) {
    if (g_ascii_isalnum(c) || keep.find(static_cast<char>(c)) != std::string_view::npos) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// A query value: what RFC 3986 allows in a query stays, except the separators "&", "=", "+".
std::string queryEncoded(std::string_view value) {
  return percentEncoded(value, "-._~!$'()*,;:@/?");
}

std::string endpointSetting(platform::Defaults& defaults, std::string_view key,
                            std::string_view fallback) {
  return Settings::deploymentValue(defaults, key).value_or(std::string(fallback));
}

bool isUtf8(const std::string& s) {
  return g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr);
}

// The body as text for an error message; absent when it is not UTF-8.
std::optional<std::string> bodyText(const HttpResponse& r) {
  if (!isUtf8(r.body)) return std::nullopt;
  return r.body;
}

HttpRequest post(std::string url, std::string contentType, std::string body) {
  HttpRequest r;
  r.method = "POST";
  r.url = std::move(url);
  r.headers["Content-Type"] = std::move(contentType);
  r.body = std::move(body);
  r.timeoutSeconds = kRequestTimeoutSeconds;
  return r;
}

// The authorization code from the browser's redirect, after the state check.
std::string codeFrom(const LoopbackListener::Callback& cb, const std::string& state) {
  if (!cb.state || *cb.state != state) throw AuthError::google("state 가 일치하지 않습니다");
  if (!cb.code) throw AuthError::google(cb.error.value_or("인가 코드가 없습니다"));
  return *cb.code;
}

}  // namespace

std::string randomURLSafe(size_t n) {
  return Crypto::base64url(Crypto::randomBytes(n));
}

std::string codeChallenge(std::string_view verifier) {
  return Crypto::base64url(Crypto::sha256(verifier));
}

std::string authorizationURL(std::string_view endpoint, std::string_view clientID,
                             std::string_view redirectURI, std::string_view challenge,
                             std::string_view state) {
  const std::pair<std::string_view, std::string_view> params[] = {
      {"client_id", clientID},   {"redirect_uri", redirectURI}, {"response_type", "code"},
      {"scope", "openid email"}, {"code_challenge", challenge}, {"code_challenge_method", "S256"},
      {"state", state}};
  std::string url(endpoint);
  char separator = url.find('?') == std::string::npos ? '?' : '&';
  for (const auto& [name, value] : params) {
    url += separator;
    url += name;
    url += '=';
    url += queryEncoded(value);
    separator = '&';
  }
  return url;
}

std::string formEncode(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string out;
  for (const auto& [name, value] : fields) {
    if (!out.empty()) out += '&';
    out += name + "=" + percentEncoded(value, "");
  }
  return out;
}

Task<void> signIn(platform::Platform p) {
  auto clientID = Settings::deploymentValue(p.defaults, Settings::kGoogleClientID);
  if (!clientID || clientID->empty()) throw AuthError::noClientID();
  std::string verifier = randomURLSafe(64);
  std::string challenge = codeChallenge(verifier);
  std::string state = randomURLSafe(32);

  auto listener = std::make_unique<LoopbackListener>(p.clock);
  std::string redirectURI = "http://127.0.0.1:" + std::to_string(listener->port());
  std::string endpoint =
      endpointSetting(p.defaults, Settings::kGoogleAuthURL, Settings::kDefaultGoogleAuthURL);
  p.workspace.open(authorizationURL(endpoint, *clientID, redirectURI, challenge, state));

  LoopbackListener::Callback callback = co_await listener->waitForCallback();
  listener.reset();
  std::string code = codeFrom(callback, state);

  std::string googleToken = co_await exchange(p, code, verifier, *clientID, redirectURI);
  Session session = co_await mintSession(p, googleToken);
  try {
    Keychain::set(p.secrets, session.token, Keychain::kSessionToken);
  } catch (const platform::SecretsError& e) {
    throw AuthError::keychain(e.what());
  }
  if (session.email) {
    p.defaults.set(Settings::kAccountEmail, *session.email);
  } else {
    p.defaults.remove(Settings::kAccountEmail);
  }
}

Task<std::string> exchange(platform::Platform p, std::string code, std::string verifier,
                           std::string clientID, std::string redirectURI) {
  std::vector<std::pair<std::string, std::string>> fields = {{"client_id", clientID},
                                                             {"code", code},
                                                             {"code_verifier", verifier},
                                                             {"grant_type", "authorization_code"},
                                                             {"redirect_uri", redirectURI}};
  auto secret = Settings::deploymentValue(p.defaults, Settings::kGoogleClientSecret);
  if (secret && !secret->empty()) fields.emplace_back("client_secret", *secret);
  std::string url =
      endpointSetting(p.defaults, Settings::kGoogleTokenURL, Settings::kDefaultGoogleTokenURL);

  HttpResponse r = co_await p.http.send(
      post(std::move(url), "application/x-www-form-urlencoded", formEncode(fields)));
  if (r.status != 200) throw AuthError::google(bodyText(r).value_or("토큰 교환 실패"));
  auto answer = JsonValue::parse(r.body);
  auto token = answer ? JsonValue::string(*answer, "access_token") : std::nullopt;
  if (!token || token->empty()) throw AuthError::google("응답에 access_token 이 없습니다");
  co_return *token;
}

Task<Session> mintSession(platform::Platform p, std::string googleAccessToken) {
  std::string url = Api::endpoint(Settings::backendURL(p.defaults), "auth/google");
  std::string body;
  try {
    body = Json{{"accessToken", googleAccessToken}}.dump();
  } catch (const Json::exception& e) {
    throw platform::HttpError(std::string("요청을 만들지 못했습니다 (") + e.what() + ")");
  }

  HttpResponse r = co_await p.http.send(post(std::move(url), "application/json", body));
  if (r.status != 200) throw AuthError::server(bodyText(r).value_or("로그인 실패"));
  auto answer = JsonValue::parse(r.body);
  auto token = answer ? JsonValue::string(*answer, "token") : std::nullopt;
  // An empty token would read as signed in while every request fails: it is no token.
  if (!token || token->empty()) throw AuthError::server("응답에 token 이 없습니다");
  co_return Session{*token, JsonValue::string(*answer, "email")};
}

}  // namespace Auth

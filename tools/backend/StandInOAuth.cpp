#include "StandInOAuth.h"

#include <openssl/sha.h>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

std::string base64url(const unsigned char* data, size_t n) {
  static constexpr char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (size_t i = 0; i < n; ++i) {
    bits = (bits << 8) | data[i];
    count += 8;
    while (count >= 6) {
      count -= 6;
      out += alphabet[(bits >> count) & 63];
    }
  }
  if (count > 0) out += alphabet[(bits << (6 - count)) & 63];
  return out;
}

std::string s256(const std::string& verifier) {
  unsigned char d[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(verifier.data()), verifier.size(), d);
  return base64url(d, sizeof d);
}

void page(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content("<!doctype html><meta charset=utf-8><p>[stand-in OAuth] " + text + "</p>",
                  "text/html; charset=utf-8");
}

void tokenError(httplib::Response& res, const std::string& error, const std::string& why) {
  res.status = 400;
  res.set_content(json{{"error", error}, {"error_description", "[stand-in] " + why}}.dump(),
                  "application/json");
}

}  // namespace

void StandInOAuth::install(httplib::Server& server, Knobs& knobs) {
  server.Get("/o/oauth2/v2/auth",
             [this, &knobs](const httplib::Request& req, httplib::Response& res) {
               knobs.handle(req, res, [this](const auto& q, auto& r) { authorize(q, r); });
             });
  server.Post("/token", [this, &knobs](const httplib::Request& req, httplib::Response& res) {
    knobs.handle(req, res, [this](const auto& q, auto& r) { token(q, r); });
  });
}

void StandInOAuth::authorize(const httplib::Request& req, httplib::Response& res) {
  std::string redirect = req.get_param_value("redirect_uri");
  // Only a loopback redirect: the stand-in must not send codes anywhere else.
  if (redirect.rfind("http://127.0.0.1:", 0) != 0)
    return page(res, 400, "redirect_uri must be http://127.0.0.1:PORT");
  if (req.get_param_value("response_type") != "code" ||
      req.get_param_value("code_challenge_method") != "S256" ||
      req.get_param_value("code_challenge").empty() || req.get_param_value("client_id").empty())
    return page(res, 400, "client_id, response_type=code and an S256 code_challenge are required");

  std::string code;
  {
    std::lock_guard lock(mutex_);
    code = "stand-in-code-" + std::to_string(++issued_);
    grants_[code] = {req.get_param_value("code_challenge"), redirect,
                     req.get_param_value("client_id")};
  }
  std::string location = redirect + "?code=" + httplib::detail::encode_query_param(code);
  if (req.has_param("state"))
    location += "&state=" + httplib::detail::encode_query_param(req.get_param_value("state"));
  res.set_redirect(location, 302);
}

void StandInOAuth::token(const httplib::Request& req, httplib::Response& res) {
  httplib::Params form;
  httplib::detail::parse_query_text(req.body, form);
  auto field = [&](const char* name) {
    auto it = form.find(name);
    return it == form.end() ? std::string() : it->second;
  };
  if (field("grant_type") != "authorization_code")
    return tokenError(res, "unsupported_grant_type", "grant_type must be authorization_code");
  Grant grant;
  {
    std::lock_guard lock(mutex_);
    auto it = grants_.find(field("code"));
    if (it == grants_.end()) return tokenError(res, "invalid_grant", "unknown or used code");
    grant = it->second;
    grants_.erase(it);
  }
  if (field("redirect_uri") != grant.redirectURI || field("client_id") != grant.clientID)
    return tokenError(res, "invalid_grant", "redirect_uri or client_id differs");
  if (s256(field("code_verifier")) != grant.challenge)
    return tokenError(res, "invalid_grant", "code_verifier does not match the challenge");
  res.set_content(json{{"access_token", "stand-in-google-token-" + field("code").substr(14)},
                       {"token_type", "Bearer"},
                       {"expires_in", 3599},
                       {"scope", "openid email"}}
                      .dump(),
                  "application/json");
}

#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Async.h"
#include "platform/Platform.h"

// Google sign-in (authorization code with PKCE and a loopback redirect) and the exchange of
// Google's access token for the backend's session token.
namespace Auth {

class AuthError : public std::exception {
 public:
  enum class Kind { google, server, noClientID, cancelled, keychain };

  static AuthError google(std::string message) {
    return {Kind::google, message, "구글 로그인 실패: " + message};
  }
  static AuthError server(std::string message) {
    return {Kind::server, message, "서버 로그인 실패: " + message};
  }
  static AuthError noClientID() {
    return {Kind::noClientID, "", "OAuth 클라이언트가 설정되지 않았습니다"};
  }
  static AuthError cancelled() { return {Kind::cancelled, "", "로그인이 취소되었습니다"}; }
  // The session token could not be stored.
  static AuthError keychain(std::string message) { return {Kind::keychain, message, message}; }

  Kind kind() const { return kind_; }
  // The payload of google, server and keychain; empty for the others.
  const std::string& message() const { return message_; }
  // The text shown to the user.
  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  AuthError(Kind kind, std::string message, std::string description)
      : kind_(kind), message_(std::move(message)), description_(std::move(description)) {}
  Kind kind_;
  std::string message_;
  std::string description_;
};

struct Session {
  std::string token;
  std::optional<std::string> email;
};

inline constexpr double kRequestTimeoutSeconds = 60;

// Signs in; on success the keychain holds the session token and the defaults the account's
// e-mail (or no "accountEmail"). A failure writes nothing, and the earlier token stays. Throws
// AuthError or the transport's platform::HttpError.
Task<void> signIn(platform::Platform p);

// n secure random bytes as unpadded base64url.
std::string randomURLSafe(size_t n);
// The PKCE S256 challenge: base64url(SHA-256(verifier)) without padding.
std::string codeChallenge(std::string_view verifier);
// The consent page's URL with its seven query parameters in order.
std::string authorizationURL(std::string_view endpoint, std::string_view clientID,
                             std::string_view redirectURI, std::string_view challenge,
                             std::string_view state);
// A form body; every character of a value but ASCII letters and digits is percent-encoded.
std::string formEncode(const std::vector<std::pair<std::string, std::string>>& fields);

// Trades the authorization code for Google's access token.
Task<std::string> exchange(platform::Platform p, std::string code, std::string verifier,
                           std::string clientID, std::string redirectURI);
// Trades Google's access token for the backend's session.
Task<Session> mintSession(platform::Platform p, std::string googleAccessToken);

}  // namespace Auth

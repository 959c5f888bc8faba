#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "base/Async.h"
#include "base/Json.h"
#include "platform/Platform.h"

// The backend calls made with the user's session token: rewrite a draft, generate a reply,
// read the month's usage. Transport failures arrive as platform::HttpError, unchanged.
namespace Api {

class ApiError : public std::exception {
 public:
  enum class Kind { capReached, server, notSignedIn, unauthorized, placeholderDraft };

  static ApiError capReached(std::string message) { return {Kind::capReached, std::move(message)}; }
  static ApiError server(std::string message) { return {Kind::server, std::move(message)}; }
  static ApiError notSignedIn() { return {Kind::notSignedIn, "먼저 로그인해 주세요"}; }
  static ApiError unauthorized() {
    return {Kind::unauthorized, "로그인이 만료되었습니다. 다시 로그인해 주세요"};
  }
  static ApiError placeholderDraft() { return {Kind::placeholderDraft, "입력창이 비어 있습니다"}; }

  Kind kind() const { return kind_; }
  // The text shown to the user.
  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  ApiError(Kind kind, std::string description)
      : kind_(kind), description_(std::move(description)) {}
  Kind kind_;
  std::string description_;
};

struct Usage {
  std::optional<double> spentKrw;
  std::optional<double> capKrw;
  std::string plan = "free";
};

struct Generated {
  std::string reply;
  std::optional<std::string> memoryNote;
};

inline constexpr double kWriteTimeoutSeconds = 45;
inline constexpr double kUsageTimeoutSeconds = 10;

Task<std::string> rewrite(platform::Platform p, std::string text,
                          std::optional<std::string> instruction, std::optional<Json> kb);
Task<Generated> generate(platform::Platform p, std::string context, std::optional<Json> kb,
                         std::optional<std::string> sourcePost);
Task<Usage> usage(platform::Platform p);

// base with one path component appended ("https://host/api" + "usage" → "https://host/api/usage").
std::string endpoint(std::string_view base, std::string_view component);

}  // namespace Api

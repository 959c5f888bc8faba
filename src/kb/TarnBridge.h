#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/Json.h"
#include "platform/Defaults.h"
#include "platform/WebViews.h"

// Answers the knowledge-base pages' "mireloTarn" requests from the files of TarnStore, and
// owns the origin check of every native message handler.
class TarnBridge {
 public:
  // The answer to one request: a value, or an error text.
  struct Answer {
    std::optional<Json> value;
    std::optional<std::string> error;
  };

  explicit TarnBridge(platform::Defaults& defaults) : defaults_(defaults) {}

  // Whether the dashboard page may hold the knowledge-base storage.
  std::function<bool()> isDashboardActive = [] { return false; };
  // The engine's view while it has one, compared by identity only.
  const void* headlessWebView = nullptr;

  // True when origin has exactly the scheme, host and port of the backend base URL.
  static bool isDashboardOrigin(const platform::SecurityOrigin& origin,
                                const std::string& backendURL);
  bool isDashboardOrigin(const platform::SecurityOrigin& origin) const;
  // The address of one of the backend's pages for a session ("/app/…"); absent when the
  // backend base URL makes no address of it.
  std::optional<std::string> pageURL(const std::string& path, const std::string& token) const;

  Answer handle(const platform::ScriptMessage& message);
  // handle() as a message handler with reply.
  void reply(const platform::ScriptMessage& message, const platform::ScriptReply& reply);

 private:
  Answer save(const platform::ScriptMessage& message, const Json& body);

  platform::Defaults& defaults_;
};

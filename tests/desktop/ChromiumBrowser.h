#pragma once

// Starts Chromium (Debian's /usr/bin/chromium) headful on the test display, with its
// accessibility tree on, and drives its page over the DevTools protocol on a pipe
// (--remote-debugging-pipe: Chromium reads commands on fd 3 and writes answers on fd 4, each
// message ended by a NUL byte). The page is scripted with Runtime.evaluate, so a test can
// focus a field, select in it and read what the page itself sees.
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Child.h"

namespace desktoptest {

class ChromiumBrowser {
 public:
  static constexpr const char* kPath = "/usr/bin/chromium";

  static bool installed() { return ::access(kPath, X_OK) == 0; }

  // Starts the browser on url with a private profile below dir; its output goes to
  // dir/chromium.log. ready() tells whether its page answers.
  ChromiumBrowser(const std::filesystem::path& dir, const std::string& url) {
    // The shell puts the pipes on fds 3 and 4.
    std::vector<std::string> args{"sh",
                                  "-c",
                                  "log=$0; exec \"$@\" 3<&0 4>&1 </dev/null >\"$log\" 2>&1",
                                  (dir / "chromium.log").string(),
                                  "env",
                                  "ACCESSIBILITY_ENABLED=1",
                                  kPath,
                                  "--user-data-dir=" + (dir / "profile").string()};
    std::istringstream flags(
        "--remote-debugging-pipe --password-store=basic --no-sandbox --disable-gpu --no-first-run "
        "--no-default-browser-check --disable-background-networking --disable-component-update "
        "--disable-sync --disable-quic --disable-features=Translate,MediaRouter "
        "--window-position=0,0 --window-size=1000,800");
    for (std::string flag; flags >> flag;)
      args.push_back(flag);
    args.push_back(url);
    ready_ = child_.start(args) && attach() && waitForPage(url, 30000);
  }
  ~ChromiumBrowser() {
    call("Browser.close", nlohmann::json::object(), 3000);
    child_.stop(0, 5000);
  }

  bool ready() const { return ready_; }
  int pid() const { return child_.pid(); }

  // The value of a page expression (promises are awaited), or absent on an exception.
  std::optional<nlohmann::json> evaluate(const std::string& expression, int timeoutMs = 10000) {
    auto answer = call(
        "Runtime.evaluate",
        {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, timeoutMs);
    if (!answer || answer->contains("exceptionDetails")) return std::nullopt;
    return (*answer)["result"].value("value", nlohmann::json());
  }
  std::string string(const std::string& expression) {
    auto v = evaluate(expression);
    return v && v->is_string() ? v->get<std::string>() : std::string();
  }

  // Loads url and waits until the page has loaded.
  bool load(const std::string& url) {
    call("Page.navigate", {{"url", url}});
    return waitForPage(url, 15000);
  }

 private:
  // Attaches a session to the first page.
  bool attach() {
    return pumpUntil(
               [&] {
                 auto targets = call("Target.getTargets", nlohmann::json::object(), 5000);
                 for (const auto& t :
                      targets ? (*targets)["targetInfos"] : nlohmann::json::array()) {
                   if (t.value("type", "") != "page") continue;
                   auto attached = call("Target.attachToTarget",
                                        {{"targetId", t.value("targetId", "")}, {"flatten", true}});
                   session_ = attached ? attached->value("sessionId", "") : "";
                   return true;
                 }
                 return false;
               },
               30000) &&
           !session_.empty();
  }

  bool waitForPage(const std::string& url, int timeoutMs) {
    return pumpUntil(
        [&] {
          auto state = evaluate("[location.href, document.readyState]", 2000);
          return state && state->is_array() && (*state)[0] == url && (*state)[1] == "complete";
        },
        timeoutMs);
  }

  // One command and its result; events and other answers are skipped.
  std::optional<nlohmann::json> call(const std::string& method, const nlohmann::json& params,
                                     int timeoutMs = 10000) {
    int id = ++lastId_;
    nlohmann::json message{{"id", id}, {"method", method}, {"params", params}};
    if (!session_.empty()) message["sessionId"] = session_;
    if (!child_.write(message.dump() + '\0')) return std::nullopt;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      auto answer = child_.read('\0', timeoutMs);
      if (!answer) return std::nullopt;
      auto parsed = nlohmann::json::parse(*answer, nullptr, false);
      if (!parsed.is_object() || parsed.value("id", -1) != id) continue;
      if (parsed.contains("error")) return std::nullopt;
      return parsed["result"];
    }
    return std::nullopt;
  }

  Child child_;
  int lastId_ = 0;
  std::string session_;
  bool ready_ = false;
};

}  // namespace desktoptest

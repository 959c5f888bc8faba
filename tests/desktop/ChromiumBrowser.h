#pragma once

// Starts Chromium (Debian's /usr/bin/chromium) headful on the test display, with its
// accessibility tree on, and drives its page over the DevTools protocol on a pipe
// (--remote-debugging-pipe: Chromium reads commands on fd 3 and writes answers on fd 4, each
// message ended by a NUL byte). The page is scripted with Runtime.evaluate, so a test can
// focus a field, select in it and read what the page itself sees.
#include <fcntl.h>
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace desktoptest {

class ChromiumBrowser {
 public:
  static constexpr const char* kPath = "/usr/bin/chromium";

  static bool installed() { return ::access(kPath, X_OK) == 0; }

  // Starts the browser on url with a private profile below dir. ready() tells whether its
  // page answers.
  ChromiumBrowser(const std::filesystem::path& dir, const std::string& url) {
    ::signal(SIGPIPE, SIG_IGN);  // a browser that died must not take the tests with it
    std::filesystem::create_directories(dir / "profile");
    if (!spawn(dir / "profile", url)) return;
    ready_ = attach() && waitForPage(url, 30000);
  }
  ~ChromiumBrowser() { stop(); }
  ChromiumBrowser(const ChromiumBrowser&) = delete;
  ChromiumBrowser& operator=(const ChromiumBrowser&) = delete;

  bool ready() const { return ready_; }
  int pid() const { return pid_; }

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

  void stop() {
    if (pid_ <= 0) return;
    call("Browser.close", nlohmann::json::object(), 3000);
    if (!waitForExit(5000)) {
      ::kill(pid_, SIGKILL);
      waitForExit(5000);
    }
    g_spawn_close_pid(pid_);
    ::close(toBrowser_);
    ::close(fromBrowser_);
    pid_ = 0;
    toBrowser_ = fromBrowser_ = -1;
  }

 private:
  bool spawn(const std::filesystem::path& profile, const std::string& url) {
    int in[2], out[2];  // in: we write, it reads on fd 3; out: it writes on fd 4
    if (::pipe(in) != 0) return false;
    if (::pipe(out) != 0) {
      ::close(in[0]), ::close(in[1]);
      return false;
    }
    std::vector<std::string> args{kPath, "--user-data-dir=" + profile.string()};
    std::istringstream flags(
        "--remote-debugging-pipe --password-store=basic --no-sandbox --disable-gpu --no-first-run "
        "--no-default-browser-check --disable-background-networking --disable-component-update "
        "--disable-sync --disable-quic --disable-features=Translate,MediaRouter "
        "--window-position=0,0 --window-size=1000,800");
    for (std::string flag; flags >> flag;)
      args.push_back(flag);
    args.push_back(url);
    std::vector<gchar*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    gchar** env = g_environ_setenv(g_get_environ(), "ACCESSIBILITY_ENABLED", "1", TRUE);
    std::string log = (profile.parent_path() / "chromium.log").string();
    int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    gint source[] = {in[0], out[1]};
    gint target[] = {3, 4};
    GError* error = nullptr;
    gboolean ok = g_spawn_async_with_pipes_and_fds(
        nullptr, argv.data(), env, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, -1, logFd, logFd,
        source, target, 2, &pid_, nullptr, nullptr, nullptr, &error);
    g_strfreev(env);
    if (logFd >= 0) ::close(logFd);
    ::close(in[0]);
    ::close(out[1]);
    toBrowser_ = in[1];
    fromBrowser_ = out[0];
    if (error) g_error_free(error);
    if (!ok) pid_ = 0;
    return ok;
  }

  // Attaches a session to the first page.
  bool attach() {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
      auto targets = call("Target.getTargets", nlohmann::json::object(), 5000, false);
      if (!targets) return false;
      for (const auto& t : (*targets)["targetInfos"]) {
        if (t.value("type", "") != "page") continue;
        auto attached =
            call("Target.attachToTarget",
                 {{"targetId", t.value("targetId", "")}, {"flatten", true}}, 5000, false);
        if (!attached) return false;
        session_ = attached->value("sessionId", "");
        return !session_.empty();
      }
      pumpFor(100);
    }
    return false;
  }

  bool waitForPage(const std::string& url, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      auto state = evaluate("[location.href, document.readyState]", 2000);
      if (state && state->is_array() && (*state)[0] == url && (*state)[1] == "complete")
        return true;
      pumpFor(50);
    }
    return false;
  }

  // One command and its result; events and other answers are skipped.
  std::optional<nlohmann::json> call(const std::string& method, const nlohmann::json& params,
                                     int timeoutMs = 10000, bool inSession = true) {
    if (toBrowser_ < 0) return std::nullopt;
    int id = ++lastId_;
    nlohmann::json message{{"id", id}, {"method", method}, {"params", params}};
    if (inSession && !session_.empty()) message["sessionId"] = session_;
    std::string bytes = message.dump();
    bytes.push_back('\0');
    for (size_t done = 0; done < bytes.size();) {
      ssize_t n = ::write(toBrowser_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return std::nullopt;
      done += static_cast<size_t>(n);
    }
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (auto answer = nextMessage(end)) {
      auto parsed = nlohmann::json::parse(*answer, nullptr, false);
      if (!parsed.is_object() || parsed.value("id", -1) != id) continue;
      if (parsed.contains("error")) return std::nullopt;
      return parsed["result"];
    }
    return std::nullopt;
  }

  // The next NUL-ended message; the main loop keeps running while waiting.
  std::optional<std::string> nextMessage(std::chrono::steady_clock::time_point end) {
    while (true) {
      if (auto nul = buffer_.find('\0'); nul != std::string::npos) {
        std::string message = buffer_.substr(0, nul);
        buffer_.erase(0, nul + 1);
        return message;
      }
      if (std::chrono::steady_clock::now() > end) return std::nullopt;
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      pollfd p{fromBrowser_, POLLIN, 0};
      if (::poll(&p, 1, 5) > 0) {
        char buf[65536];
        ssize_t n = ::read(fromBrowser_, buf, sizeof buf);
        if (n <= 0) return std::nullopt;
        buffer_.append(buf, static_cast<size_t>(n));
      }
    }
  }

  static void pumpFor(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      g_usleep(2000);
    }
  }

  bool waitForExit(int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) return true;
      g_usleep(10000);
    }
    return false;
  }

  GPid pid_ = 0;
  int toBrowser_ = -1, fromBrowser_ = -1;
  int lastId_ = 0;
  std::string session_;
  std::string buffer_;
  bool ready_ = false;
};

}  // namespace desktoptest

#pragma once

// Starts mirelo_fixture (the GTK 3 fixture application) and talks to it over its standard
// input and output; see tests/desktop/fixture/MireloFixture.cpp for the options and commands.
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace desktoptest {

// Runs the default main context until pred holds or timeoutMs passes; returns pred().
template <typename P>
bool pumpUntil(P pred, int timeoutMs = 3000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return pred();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    g_usleep(2000);
  }
  return true;
}

class FixtureApp {
 public:
  explicit FixtureApp(const std::vector<std::string>& args) {
    const char* dir = std::getenv("MIRELO_BUILD_DIR");
    std::string path = std::string(dir ? dir : ".") + "/tests/mirelo_fixture";
    std::vector<gchar*> argv{path.data()};
    for (const auto& a : args)
      argv.push_back(const_cast<gchar*>(a.c_str()));
    argv.push_back(nullptr);
    if (!g_spawn_async_with_pipes(nullptr, argv.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                  nullptr, &pid_, &in_, &out_, nullptr, nullptr))
      return;
    auto line = readLine(10000);
    if (line && line->rfind("ready ", 0) == 0) info_ = nlohmann::json::parse(line->substr(6));
  }
  ~FixtureApp() { stop(); }
  FixtureApp(const FixtureApp&) = delete;
  FixtureApp& operator=(const FixtureApp&) = delete;

  bool ready() const { return !info_.is_null(); }
  int pid() const { return pid_; }
  // The X window id of one of its windows ("editor", "mail", "terminal", "labels").
  unsigned long window(const std::string& name) const { return info_["windows"].value(name, 0UL); }

  // Sends one command and returns its one-line answer ("" when none came).
  std::string command(const std::string& line, int timeoutMs = 5000) {
    if (in_ < 0) return {};
    std::string l = line + "\n";
    if (::write(in_, l.data(), l.size()) != static_cast<ssize_t>(l.size())) return {};
    return readLine(timeoutMs).value_or("");
  }
  // The widgets' texts as the application sees them.
  nlohmann::json dump() {
    auto answer = command("dump");
    return answer.empty() ? nlohmann::json::object() : nlohmann::json::parse(answer);
  }
  std::string text(const std::string& widget) { return dump().value(widget, std::string()); }
  void focus(const std::string& widget) { command("focus " + widget); }
  void select(const std::string& widget, int start, int end) {
    command("select " + widget + " " + std::to_string(start) + " " + std::to_string(end));
  }
  void set(const std::string& widget, const std::string& text) {
    command("set " + widget + " " + nlohmann::json(text).dump());
  }

  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    g_spawn_close_pid(pid_);
    ::close(in_);
    ::close(out_);
    pid_ = 0;
    in_ = out_ = -1;
  }

 private:
  // One line of its output; the main loop keeps running while waiting.
  std::optional<std::string> readLine(int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
      if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      if (std::chrono::steady_clock::now() > end) return std::nullopt;
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 5) > 0) {
        char buf[65536];
        ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0) return std::nullopt;
        buffer_.append(buf, static_cast<size_t>(n));
      }
    }
  }

  GPid pid_ = 0;
  int in_ = -1, out_ = -1;
  std::string buffer_;
  nlohmann::json info_;
};

}  // namespace desktoptest

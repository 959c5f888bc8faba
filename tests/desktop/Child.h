#pragma once

// A program a desktop test starts, with a pipe to it and one from it. While the test waits on
// it the main loop keeps running: it may be serving this process's clipboard to the program.
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "MainLoop.h"

namespace desktoptest {

inline std::string buildDir() {
  const char* dir = std::getenv("MIRELO_BUILD_DIR");
  return dir ? dir : ".";
}

class Child {
 public:
  Child() = default;
  ~Child() { stop(SIGTERM); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Starts args[0] (found on the PATH) with pipes to its standard input and output.
  bool start(const std::vector<std::string>& args) {
    ::signal(SIGPIPE, SIG_IGN);  // a program that died must not take the tests with it
    std::vector<gchar*> argv;
    for (const auto& a : args)
      argv.push_back(const_cast<gchar*>(a.c_str()));
    argv.push_back(nullptr);
    return g_spawn_async_with_pipes(nullptr, argv.data(), nullptr,
                                    GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_SEARCH_PATH),
                                    nullptr, nullptr, &pid_, &in_, &out_, nullptr, nullptr);
  }

  int pid() const { return pid_; }

  // All of bytes (a pipe that blocks takes them whole).
  bool write(const std::string& bytes) {
    return ::write(in_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Its next message, ended by `end`; absent when none came in time or it closed its end.
  std::optional<std::string> read(char end, int timeoutMs) {
    bool closed = out_ < 0;
    pumpUntil(
        [&] {
          pollfd p{out_, POLLIN, 0};
          if (buffer_.find(end) == std::string::npos && !closed && ::poll(&p, 1, 0) > 0) {
            char buf[65536];
            ssize_t n = ::read(out_, buf, sizeof buf);
            if (n > 0) buffer_.append(buf, static_cast<size_t>(n));
            closed = n <= 0;
          }
          return closed || buffer_.find(end) != std::string::npos;
        },
        timeoutMs);
    auto at = buffer_.find(end);
    if (at == std::string::npos) return std::nullopt;
    std::string message = buffer_.substr(0, at);
    buffer_.erase(0, at + 1);
    return message;
  }

  // Closes its input (the fixture quits when it closes), sends it signal unless that is 0, and
  // waits for it to end; after timeoutMs it is killed. Returns its wait status (-1: none ran).
  int stop(int signal = 0, int timeoutMs = 10000) {
    if (pid_ <= 0) return -1;
    ::close(in_);
    if (signal) ::kill(pid_, signal);
    int status = 0;
    for (int waited = 0; ::waitpid(pid_, &status, WNOHANG) != pid_; waited += 10) {
      if (waited == timeoutMs) ::kill(pid_, SIGKILL);  // and reaped on a later turn
      g_usleep(10000);
    }
    g_spawn_close_pid(pid_);
    ::close(out_);
    pid_ = 0;
    in_ = out_ = -1;
    return status;
  }

 private:
  GPid pid_ = 0;
  int in_ = -1, out_ = -1;
  std::string buffer_;
};

}  // namespace desktoptest

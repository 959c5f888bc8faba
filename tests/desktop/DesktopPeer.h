#pragma once

// Starts mirelo_test_peer (another program on the test desktop) and stops it again.
#include <glib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace desktoptest {

inline std::string buildDir() {
  const char* dir = std::getenv("MIRELO_BUILD_DIR");
  return dir ? dir : ".";
}

inline std::string peerPath() {
  return buildDir() + "/tests/mirelo_test_peer";
}

// Runs the peer and returns its standard output (for --read). The main loop keeps running
// meanwhile, so that a clipboard this process owns is served to the peer.
inline std::string runPeer(const std::vector<std::string>& args) {
  std::string path = peerPath();
  std::vector<gchar*> argv{path.data()};
  for (const auto& a : args)
    argv.push_back(const_cast<gchar*>(a.c_str()));
  argv.push_back(nullptr);
  GPid pid = 0;
  gint out = -1;
  if (!g_spawn_async_with_pipes(nullptr, argv.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                nullptr, &pid, nullptr, &out, nullptr, nullptr))
    return "(spawn failed)";
  bool exited = false;
  g_child_watch_add(
      pid, [](GPid, gint, gpointer done) { *static_cast<bool*>(done) = true; }, &exited);
  while (!exited)
    g_main_context_iteration(nullptr, TRUE);
  g_spawn_close_pid(pid);
  std::string s;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(out, buf, sizeof buf)) > 0)
    s.append(buf, static_cast<size_t>(n));
  ::close(out);
  while (!s.empty() && s.back() == '\n')
    s.pop_back();
  return s;
}

// A peer that keeps running until stop() or destruction.
class Peer {
 public:
  explicit Peer(const std::vector<std::string>& args) {
    std::string path = peerPath();
    std::vector<gchar*> argv{path.data()};
    for (const auto& a : args)
      argv.push_back(const_cast<gchar*>(a.c_str()));
    argv.push_back(nullptr);
    gint in = -1, out = -1;
    if (!g_spawn_async_with_pipes(nullptr, argv.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                  nullptr, &pid_, &in, &out, nullptr, nullptr))
      return;
    stdin_ = in;
    char buf[16] = {0};
    ready_ = ::read(out, buf, sizeof buf - 1) > 0 && std::string(buf).rfind("ready", 0) == 0;
    ::close(out);
  }
  ~Peer() { stop(); }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool ready() const { return ready_; }
  int pid() const { return pid_; }

  // Closes its input, which ends it, and waits for it.
  void stop() {
    if (stdin_ >= 0) ::close(stdin_);
    stdin_ = -1;
    if (pid_ > 0) {
      int status;
      ::waitpid(pid_, &status, 0);
      g_spawn_close_pid(pid_);
    }
    pid_ = 0;
  }

 private:
  GPid pid_ = 0;
  int stdin_ = -1;
  bool ready_ = false;
};

}  // namespace desktoptest

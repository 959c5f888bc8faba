#include "StandInBackend.h"

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "fake/RunTask.h"

extern char** environ;

namespace {

std::string backendPath() {
  if (const char* p = std::getenv("MIRELO_BACKEND")) return p;
  auto build = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
  return (build / "tools/backend/mirelo-backend").string();
}

// The first line the child prints, within ten seconds.
std::string firstLine(int fd) {
  std::string line;
  char c;
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, 10'000) > 0 && read(fd, &c, 1) == 1 && c != '\n')
    line += c;
  return line;
}

}  // namespace

StandInBackend::StandInBackend() {
  std::string path = backendPath();
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  char* argv[] = {path.data(), const_cast<char*>("--port"), const_cast<char*>("0"), nullptr};
  int rc = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  stdoutFd_ = pipeFds[0];
  if (rc != 0) throw std::runtime_error("cannot start " + path);
  std::string line = firstLine(stdoutFd_);
  auto at = line.find("http://");
  if (at == std::string::npos) throw std::runtime_error("mirelo-backend said: " + line);
  url_ = line.substr(at);
}

StandInBackend::~StandInBackend() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  if (stdoutFd_ >= 0) close(stdoutFd_);
}

Json StandInBackend::control(const std::string& method, const std::string& path,
                             const std::string& body) {
  platform::HttpRequest r;
  r.method = method;
  r.url = url_ + path;
  r.body = body;
  auto response = runTask(clock_, http_.send(r));
  return Json::parse(response.body);
}

void StandInBackend::route(const std::string& method, const std::string& path, Json settings) {
  settings["method"] = method;
  settings["path"] = path;
  control("POST", "/_control/route", settings.dump());
}

void StandInBackend::reset() {
  control("POST", "/_control/reset", "");
}

Json StandInBackend::requests() {
  return control("GET", "/_control/requests", "");
}

int StandInBackend::closedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

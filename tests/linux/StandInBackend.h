#pragma once

#include <sys/types.h>

#include <string>

#include "base/Clock.h"
#include "base/Json.h"
#include "platform/linux/CurlHttp.h"

// The stand-in backend (tools/backend/mirelo-backend) as a child process on a free loopback
// port, with its control routes.
class StandInBackend {
 public:
  StandInBackend();   // starts it; throws std::runtime_error when it cannot
  ~StandInBackend();  // ends it by its pid

  const std::string& url() const { return url_; }
  // Gives method + path a canned answer (fields as the control route takes them).
  void route(const std::string& method, const std::string& path, Json settings);
  void reset();
  // The latest requests, oldest first.
  Json requests();

  // A loopback port on which nothing listens.
  static int closedPort();

 private:
  Json control(const std::string& method, const std::string& path, const std::string& body);

  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  std::string url_;
  ManualClock clock_;
  linuxport::CurlHttp http_{clock_};
};

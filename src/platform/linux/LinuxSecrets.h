#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/Secrets.h"

namespace linuxport {

// Items in the Secret Service (libsecret). Every call ends within the deadline; any failure,
// a missing or locked service included, reads as absent. What was read or written last is
// remembered, so a slow service costs the deadline once, not on every read.
class LinuxSecrets : public platform::Secrets {
 public:
  explicit LinuxSecrets(double deadlineSeconds = 1.5) : deadline_(deadlineSeconds) {}

  std::optional<std::string> get(std::string_view service, std::string_view account) override;
  void set(std::string_view service, std::string_view account, std::string_view value) override;
  void remove(std::string_view service, std::string_view account) override;

  // Forgets what was remembered (the next get asks the service again).
  void forget() { known_.clear(); }

 private:
  double deadline_;
  std::map<std::pair<std::string, std::string>, std::optional<std::string>> known_;
};

}  // namespace linuxport

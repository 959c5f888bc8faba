#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/Secrets.h"

namespace linuxport {

// Items in the Secret Service (libsecret). Every call ends within the deadline; a failed read,
// a missing or locked service included, reads as absent, a failed store throws. Only a value
// actually read or stored is remembered; an absent or failed read asks the service again.
class LinuxSecrets : public platform::Secrets {
 public:
  explicit LinuxSecrets(double deadlineSeconds = 1.5) : deadline_(deadlineSeconds) {}

  std::optional<std::string> get(std::string_view service, std::string_view account) override;
  void set(std::string_view service, std::string_view account, std::string_view value) override;
  void remove(std::string_view service, std::string_view account) override;

 private:
  double deadline_;
  std::map<std::pair<std::string, std::string>, std::string> known_;
};

}  // namespace linuxport

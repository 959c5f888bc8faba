#pragma once

#include <string>

namespace platform {

// System notifications.
class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void requestAuthorization() = 0;
  virtual void post(const std::string& identifier, const std::string& title,
                    const std::string& body) = 0;
};

}  // namespace platform

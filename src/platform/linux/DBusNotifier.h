#pragma once

#include "platform/Notifier.h"

namespace linuxport {

// Desktop notifications over D-Bus (org.freedesktop.Notifications). Connecting and calling are
// asynchronous, the call with a short time-out, so a missing or frozen notification server never
// holds anything up; without a session bus nothing is sent. Title and body are plain text.
class DBusNotifier : public platform::Notifier {
 public:
  static constexpr int kTimeoutMs = 2000;

  void requestAuthorization() override {}
  void post(const std::string& identifier, const std::string& title,
            const std::string& body) override;
};

}  // namespace linuxport

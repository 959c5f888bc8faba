#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

typedef struct _GtkApplication GtkApplication;

namespace linuxport {

// Mirelo as one application per session: the first start owns "com.mirelo.app" on the
// session bus, a later start hands its arguments to it and ends. Without a session bus every
// start runs on its own.
class LinuxApplication {
 public:
  static constexpr const char* kId = "com.mirelo.app";

  LinuxApplication();
  ~LinuxApplication();
  LinuxApplication(const LinuxApplication&) = delete;
  LinuxApplication& operator=(const LinuxApplication&) = delete;

  // Registers this start. When another one already runs, hands it argv and returns the status
  // it answers with; absent when this start is the one that runs. With replace (a relaunch),
  // this start takes the name over from the running one instead.
  std::optional<int> registerOrForward(int argc, char** argv, bool replace = false);

  // On the running instance, with the arguments of each later start.
  std::function<void(const std::vector<std::string>& args)> onReopen;

 private:
  GtkApplication* app_;
};

}  // namespace linuxport

#pragma once

#include <functional>
#include <memory>

#include "base/Clock.h"
#include "platform/Platform.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/CurlHttp.h"
#include "platform/linux/DBusNotifier.h"
#include "platform/linux/GtkPasteboard.h"
#include "platform/linux/GtkUi.h"
#include "platform/linux/LinuxDefaults.h"
#include "platform/linux/LinuxSecrets.h"
#include "platform/linux/PackageUpdater.h"
#include "platform/linux/WebKitWebViews.h"
#include "platform/linux/X11KeyboardEvents.h"
#include "platform/linux/X11Workspace.h"

namespace linuxport {

// Connects GTK to the display; false (with the reason on stderr) when there is none.
bool connectDisplay(int& argc, char**& argv);
// Runs the main loop until done() holds, checking after each turn.
void runMainLoopUntil(const std::function<bool()>& done);
// The same for at most maxSeconds on clock; returns done().
bool runMainLoopUntil(const std::function<bool()>& done, Clock& clock, double maxSeconds);
// Calls quit on the main loop when the process gets SIGINT, SIGTERM or SIGHUP (the session
// ending).
void onQuitSignal(std::function<void()> quit);

// The real desktop services, built once in main after connectDisplay().
struct LinuxDesktop {
  GLibClock clock;
  AtspiAccessibility accessibility;
  X11KeyboardEvents keyboard;
  GtkPasteboard pasteboard;
  X11Workspace workspace;
  LinuxDefaults defaults;
  LinuxSecrets secrets;
  DBusNotifier notifier;
  CurlHttp http;
  GtkUi ui;
  WebKitWebViews webViews;
  PackageUpdater updater{defaults};

  LinuxDesktop();
  platform::Platform platform();
};

}  // namespace linuxport

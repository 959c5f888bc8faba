#include "platform/linux/X11Workspace.h"

#include "platform/linux/DesktopPrograms.h"
#include "platform/linux/OpenURL.h"
#include "platform/linux/X11EventSource.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gio/gdesktopappinfo.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace linuxport {

namespace {

// How often the front application and the known processes are checked besides the window
// system's events, and how often when only the accessibility focus can tell which is in front.
constexpr double kPollSeconds = 2.0;
constexpr double kFallbackPollSeconds = 0.25;
constexpr int kFallbackTicksPerPoll = 8;

// Xlib has one error handler per process: errors on this connection (windows that vanish
// between two calls) are ignored, every other connection's go to the handler installed before.
Display* quietDisplay = nullptr;
XErrorHandler previousHandler = nullptr;

int ignoreOwnErrors(Display* d, XErrorEvent* e) {
  if (d == quietDisplay) return 0;
  return previousHandler ? previousHandler(d, e) : 0;
}

std::optional<std::vector<unsigned char>> property(Display* d, Window w, const char* name,
                                                   Atom type) {
  Atom atom = XInternAtom(d, name, True);
  if (atom == None) return std::nullopt;
  Atom actualType;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, atom, 0, 1 << 16, False, type, &actualType, &format, &count, &after,
                         &data) != Success ||
      !data) {
    return std::nullopt;
  }
  size_t unit = format == 32 ? sizeof(long) : static_cast<size_t>(format / 8);
  std::vector<unsigned char> bytes(data, data + count * unit);
  XFree(data);
  if (actualType == None) return std::nullopt;
  return bytes;
}

std::optional<unsigned long> cardinal(Display* d, Window w, const char* name, Atom type) {
  auto bytes = property(d, w, name, type);
  if (!bytes || bytes->size() < sizeof(long)) return std::nullopt;
  return *reinterpret_cast<const unsigned long*>(bytes->data());
}

std::optional<std::string> text(Display* d, Window w, const char* name) {
  auto bytes = property(d, w, name, AnyPropertyType);
  if (!bytes || bytes->empty()) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// The desktop file's name for an application identifier, if one is installed.
std::optional<std::string> desktopName(const std::string& id) {
  if (id.empty()) return std::nullopt;
  GDesktopAppInfo* info = g_desktop_app_info_new((id + ".desktop").c_str());
  if (!info) return std::nullopt;
  std::string name = g_app_info_get_name(G_APP_INFO(info));
  g_object_unref(info);
  return name;
}

bool processAlive(std::int32_t pid) {
  return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

}  // namespace

X11Workspace::X11Workspace(Clock& clock, std::function<std::optional<std::int32_t>()> focusedPid)
    : clock_(clock), focusedPid_(std::move(focusedPid)), display_(XOpenDisplay(nullptr)) {
  if (!display_) return;
  quietDisplay = display_;
  XErrorHandler previous = XSetErrorHandler(ignoreOwnErrors);
  if (previous != ignoreOwnErrors) previousHandler = previous;
  lastFront_ = frontmostApplication();
  frontFromWindows_ = windowFrontmostPid().has_value();
  watchWindowEvents();
  schedulePoll();
}

X11Workspace::~X11Workspace() {
  pollTimer_.stop();
  if (watch_) X11EventSource::detach(watch_);
  if (display_) XCloseDisplay(display_);
}

// The front changes with _NET_ACTIVE_WINDOW under a window manager, and with the input focus
// entering a top-level window without one: both arrive as events, so nothing is asked of the
// server while the desktop is idle.
void X11Workspace::watchWindowEvents() {
  Window root = DefaultRootWindow(display_);
  XSelectInput(display_, root, PropertyChangeMask | SubstructureNotifyMask);
  Window rootRet, parent;
  Window* children = nullptr;
  unsigned int n = 0;
  if (XQueryTree(display_, root, &rootRet, &parent, &children, &n)) {
    for (unsigned int i = 0; i < n; ++i)
      XSelectInput(display_, children[i], FocusChangeMask);
    if (children) XFree(children);
  }
  XFlush(display_);
  watch_ = X11EventSource::attach(display_, [this] { dispatch(); });
}

void X11Workspace::dispatch() {
  bool changed = false;
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == CreateNotify) {
      XSelectInput(display_, event.xcreatewindow.window, FocusChangeMask);
    } else if (event.type == FocusIn || event.type == DestroyNotify) {
      changed = true;
    } else if (event.type == PropertyNotify) {
      changed |= event.xproperty.atom == XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    }
  }
  if (changed) poll();
}

void X11Workspace::schedulePoll() {
  const double seconds = frontFromWindows_ ? kPollSeconds : kFallbackPollSeconds;
  if (pollTimer_.active() && seconds == pollSeconds_) return;
  pollSeconds_ = seconds;
  pollTimer_.start(clock_, seconds, true, [this] { tick(); });
}

// While only the accessibility focus names the front, it is asked often; the window system,
// whose changes arrive as events, only now and then.
void X11Workspace::tick() {
  if (frontFromWindows_ || ++fallbackTicks_ % kFallbackTicksPerPoll == 0) return poll();
  if (focusedPid_) frontIs(focusedPid_());
}

std::vector<unsigned long> X11Workspace::topLevelWindows() {
  std::vector<unsigned long> out;
  if (!display_) return out;
  Window root = DefaultRootWindow(display_);
  if (auto list = property(display_, root, "_NET_CLIENT_LIST", XA_WINDOW)) {
    auto* w = reinterpret_cast<const unsigned long*>(list->data());
    out.assign(w, w + list->size() / sizeof(long));
    return out;
  }
  Window rootRet, parent;
  Window* children = nullptr;
  unsigned int n = 0;
  if (XQueryTree(display_, root, &rootRet, &parent, &children, &n)) {
    for (unsigned int i = 0; i < n; ++i) {
      XWindowAttributes attrs;
      if (XGetWindowAttributes(display_, children[i], &attrs) && attrs.map_state == IsViewable &&
          !attrs.override_redirect)
        out.push_back(children[i]);
    }
    if (children) XFree(children);
  }
  return out;
}

std::optional<unsigned long> X11Workspace::activeWindow() {
  Window root = DefaultRootWindow(display_);
  if (auto w = cardinal(display_, root, "_NET_ACTIVE_WINDOW", XA_WINDOW); w && *w) return *w;
  // No window manager: the focus window, walked up to the child of the root.
  Window focus;
  int revert;
  XGetInputFocus(display_, &focus, &revert);
  if (focus == None || focus == PointerRoot) return std::nullopt;
  for (;;) {
    Window rootRet, parent;
    Window* children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display_, focus, &rootRet, &parent, &children, &n)) return std::nullopt;
    if (children) XFree(children);
    if (parent == rootRet || parent == None) return focus;
    focus = parent;
  }
}

std::optional<std::int32_t> X11Workspace::windowPid(unsigned long window) {
  auto pid = cardinal(display_, window, "_NET_WM_PID", XA_CARDINAL);
  if (!pid || *pid == 0) return std::nullopt;
  return static_cast<std::int32_t>(*pid);
}

std::optional<unsigned long> X11Workspace::windowOfPid(std::int32_t pid) {
  for (unsigned long w : topLevelWindows())
    if (windowPid(w) == pid) return w;
  return std::nullopt;
}

platform::RunningApplication X11Workspace::describeWindow(unsigned long window, std::int32_t pid) {
  platform::RunningApplication app;
  app.pid = pid;
  std::string wmClass;
  XClassHint hint{};
  if (XGetClassHint(display_, window, &hint)) {
    if (hint.res_class) wmClass = hint.res_class;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
  }
  if (auto gtkId = text(display_, window, "_GTK_APPLICATION_ID")) {
    app.bundleID = *gtkId;
  } else {
    app.bundleID = lower(wmClass);
  }
  app.name = desktopName(app.bundleID).value_or(wmClass);
  return app;
}

platform::RunningApplication X11Workspace::describe(std::int32_t pid) {
  if (display_) {
    if (auto w = windowOfPid(pid)) return describeWindow(*w, pid);
  }
  platform::RunningApplication app;
  app.pid = pid;
  return app;
}

std::optional<std::int32_t> X11Workspace::windowFrontmostPid() {
  if (!display_) return std::nullopt;
  auto w = activeWindow();
  return w ? windowPid(*w) : std::nullopt;
}

std::optional<std::int32_t> X11Workspace::frontmostPid() {
  if (auto pid = windowFrontmostPid()) return pid;
  if (display_ && focusedPid_) return focusedPid_();
  return std::nullopt;
}

std::optional<platform::RunningApplication> X11Workspace::frontmostApplication() {
  auto pid = frontmostPid();
  if (!pid) return std::nullopt;
  return describe(*pid);
}

std::vector<platform::RunningApplication> X11Workspace::runningApplications() {
  std::vector<platform::RunningApplication> apps;
  for (unsigned long w : topLevelWindows()) {
    auto pid = windowPid(w);
    if (!pid) continue;
    if (std::any_of(apps.begin(), apps.end(), [&](const auto& a) { return a.pid == *pid; }))
      continue;
    apps.push_back(describeWindow(w, *pid));
  }
  return apps;
}

bool X11Workspace::activate(std::int32_t pid) {
  if (!display_) return false;
  auto w = windowOfPid(pid);
  if (!w) return false;
  Window root = DefaultRootWindow(display_);
  Atom active = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = *w;
  e.xclient.message_type = active;
  e.xclient.format = 32;
  e.xclient.data.l[0] = 2;  // from a pager: honoured without focus-stealing checks
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XMapRaised(display_, *w);
  XSetInputFocus(display_, *w, RevertToParent, CurrentTime);
  XFlush(display_);
  return true;
}

bool X11Workspace::open(const std::string& url) {
  return openURL(url);
}

bool X11Workspace::openAccessibilitySettings() {
  return DesktopPrograms::openAccessibilitySettings();
}

bool X11Workspace::relaunchSelf() {
  return DesktopPrograms::relaunchSelf();
}

int X11Workspace::addActivationObserver(Observer observer) {
  activation_[nextToken_] = std::move(observer);
  return nextToken_++;
}

int X11Workspace::addTerminationObserver(Observer observer) {
  termination_[nextToken_] = std::move(observer);
  return nextToken_++;
}

void X11Workspace::removeObserver(int token) {
  activation_.erase(token);
  termination_.erase(token);
}

void X11Workspace::poll() {
  auto pid = windowFrontmostPid();
  frontFromWindows_ = pid.has_value();
  if (!pid && display_ && focusedPid_) pid = focusedPid_();
  frontIs(pid);
  pollTerminations();
  if (display_) {
    schedulePoll();
  }
}

void X11Workspace::frontIs(std::optional<std::int32_t> pid) {
  if (!pid) {
    lastFront_.reset();
  } else if (!lastFront_ || lastFront_->pid != *pid) {
    auto front = describe(*pid);
    lastFront_ = front;
    seen_[front.pid] = front;
    auto observers = activation_;
    for (auto& [token, observer] : observers)
      observer(front);
  }
}

void X11Workspace::pollTerminations() {
  for (auto it = seen_.begin(); it != seen_.end();) {
    if (processAlive(it->first)) {
      ++it;
      continue;
    }
    auto gone = it->second;
    it = seen_.erase(it);
    auto observers = termination_;
    for (auto& [token, observer] : observers)
      observer(gone);
  }
}

}  // namespace linuxport

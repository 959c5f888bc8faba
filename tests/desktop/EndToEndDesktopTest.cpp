// The whole program as a user meets it: the real mirelo process against the stand-in backend,
// with a tray, a notification server and a clipboard manager of the test's own on the private
// session, from the first sign-in to the quit.
#include <atspi/atspi.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "DesktopSession.h"
#include "MireloProcess.h"
#include "NotificationServer.h"
#include "StandInBackend.h"
#include "TrayWatcher.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "kb/TarnStore.h"
// Last: Xlib's macros would clash with the headers above.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace desktoptest {
namespace {

// The running program and everything it has said (its log is on the same pipe).
struct Program {
  // Reads on until text has been said count times since the start.
  bool said(const std::string& text, int count = 1, int timeoutMs = 30000) {
    while (times(text) < count)
      if (auto line = child.read('\n', timeoutMs))
        log += *line + "\n";
      else
        return false;
    return true;
  }
  int times(const std::string& text) const {
    int n = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
      ++n;
    return n;
  }
  Child child;
  std::string log;
};

class EndToEnd : public DesktopSession {
 protected:
  void SetUp() override {
    DesktopSession::SetUp();
    if (HasFatalFailure()) return;
    TarnStore::clear();
    auto& d = desk->defaults;
    d.set(Settings::kBackendURL, backend.url());
    d.set(Settings::kGoogleAuthURL, backend.url() + "/o/oauth2/v2/auth");
    d.set(Settings::kGoogleTokenURL, backend.url() + "/token");
    d.set(Settings::kGoogleClientID, "stand-in-client.apps");
    d.remove(Settings::kTriggerMode);
    Keychain::remove(desk->secrets, Keychain::kSessionToken);
    // The user's browser: it follows the consent page's redirect back to the program.
    browser = std::string(std::getenv("MIRELO_SESSION_ROOT")) + "/sign-in-browser.sh";
    std::ofstream(browser) << "#!/bin/sh\nexec curl -sS -L --noproxy '*' --max-time 20 "
                              "-o /dev/null \"$1\"\n";
    ASSERT_EQ(chmod(browser.c_str(), 0755), 0) << browser;
    atspi_set_timeout(2000, 2000);
  }
  void TearDown() override {
    if (desk) {
      for (auto key : {Settings::kBackendURL, Settings::kGoogleAuthURL, Settings::kGoogleTokenURL,
                       Settings::kGoogleClientID})
        desk->defaults.remove(key);
      Keychain::remove(desk->secrets, Keychain::kSessionToken);
    }
    DesktopSession::TearDown();
  }

  bool menuShows(const std::string& line) {
    return pumpUntil(
        [&] {
          auto lines = tray.lines();
          return std::find(lines.begin(), lines.end(), line) != lines.end();
        },
        5000);
  }
  // What a screen reader reads in the program's windows on screen (the page of a web view
  // included): names and texts.
  static std::string windowText(int pid) {
    std::string out;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    for (int i = 0; i < atspi_accessible_get_child_count(desktop, nullptr); ++i) {
      AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
      if (app && int(atspi_accessible_get_process_id(app, nullptr)) == pid) read(app, out, 0);
      if (app) g_object_unref(app);
    }
    g_object_unref(desktop);
    return out;
  }
  static void read(AtspiAccessible* node, std::string& out, int depth) {
    for (int i = 0; depth < 40 && i < atspi_accessible_get_child_count(node, nullptr); ++i) {
      AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr);
      if (!child) continue;
      // Hidden windows keep their content: only the windows on screen are read.
      AtspiStateSet* states = atspi_accessible_get_state_set(child);
      if (depth > 0 || atspi_state_set_contains(states, ATSPI_STATE_SHOWING)) {
        g_autofree gchar* name = atspi_accessible_get_name(child, nullptr);
        out += std::string(name ? name : "") + "\n";
        if (AtspiText* text = atspi_accessible_get_text_iface(child)) {
          g_autofree gchar* t = atspi_text_get_text(text, 0, -1, nullptr);
          out += std::string(t ? t : "") + "\n";
          g_object_unref(text);
        }
        read(child, out, depth + 1);
      }
      g_object_unref(states);
      g_object_unref(child);
    }
  }
  bool windowShows(int pid, const std::string& text, int timeoutMs = 10000) {
    return pumpUntil([&] { return windowText(pid).find(text) != std::string::npos; }, timeoutMs);
  }
  // Closes the program's one visible window titled "Mirelo" as a window manager would.
  void closeWindow(int pid) {
    gchar* out = nullptr;
    std::string find =
        "xdotool search --onlyvisible --pid " + std::to_string(pid) + " --name '^Mirelo$'";
    ASSERT_TRUE(g_spawn_command_line_sync(find.c_str(), &out, nullptr, nullptr, nullptr));
    Window window = std::strtoul(out, nullptr, 10);
    g_free(out);
    ASSERT_NE(window, 0u);
    Display* x = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(x, window, False, NoEventMask, &e);
    XFlush(x);
    ASSERT_TRUE(pumpUntil([&] { return windowsShown(pid, "Mirelo") == 0; }, 5000));
  }
  // Focuses the widget and waits until the desktop has the fixture in front.
  void focusInFront(FixtureApp& app, const std::string& widget, const std::string& role) {
    int activated = 0;
    int token = desk->workspace.addActivationObserver([&](const platform::RunningApplication& a) {
      if (a.pid == app.pid()) ++activated;
    });
    EXPECT_TRUE(focusOn(app, widget, role)) << widget;
    pumpUntil([&] { return activated > 0; }, 1000);
    desk->workspace.removeObserver(token);
  }
  // A right-Alt tap the program recognises. It may see the application come to the front
  // only after the key went down, which rightly disarms that press: then it takes one more.
  bool tap(Program& mirelo) {
    const int before = mirelo.times("탭 성립");
    for (int attempt = 0; attempt < 2; ++attempt) {
      desk->keyboard.postTriggerTap();
      if (mirelo.said("탭 성립", before + 1, 5000)) return true;
    }
    return false;
  }
  int requestsTo(const std::string& path) {
    int n = 0;
    for (const auto& r : backend.requests())
      n += r.value("path", "") == path;
    return n;
  }
  Json lastRequestTo(const std::string& path) {
    Json last;
    for (const auto& r : backend.requests())
      if (r.value("path", "") == path) last = r;
    return last;
  }

  StandInBackend backend;
  TrayWatcher tray;
  NotificationServer notifications;
  std::string browser;
};

TEST_F(EndToEnd, FromTheFirstSignInToTheQuit) {
  ASSERT_TRUE(notifications.owned());
  FixtureApp manager({"--manager=clipboard"});
  ASSERT_TRUE(manager.ready());
  Program mirelo;
  ASSERT_TRUE(startMirelo(mirelo.child, {}, {"BROWSER=" + browser}));
  const int pid = mirelo.child.pid();
  ASSERT_TRUE(mirelo.said("Mirelo 실행 중")) << mirelo.log;
  ASSERT_TRUE(pumpUntil([&] { return tray.registered(); }, 5000));

  // Signed out; the user opens the status window and signs in from the menu.
  ASSERT_TRUE(menuShows("구글로 로그인"));
  ASSERT_TRUE(tray.click("Mirelo 열기"));
  EXPECT_TRUE(windowShows(pid, "아직 로그인 전입니다"));
  ASSERT_TRUE(tray.click("구글로 로그인"));
  ASSERT_TRUE(pumpUntil([&] { return notifications.receivedTitle("로그인되었습니다"); }, 30000))
      << mirelo.log;
  EXPECT_TRUE(menuShows("로그아웃"));
  EXPECT_TRUE(windowShows(pid, "Mirelo 열기"));
  EXPECT_EQ(windowText(pid).find("아직 로그인 전입니다"), std::string::npos);
  const auto token = Keychain::get(desk->secrets, Keychain::kSessionToken);
  ASSERT_TRUE(token);
  const std::string code = lastRequestTo("/token")["params"].value("code", "");
  ASSERT_FALSE(code.empty());
  closeWindow(pid);

  // A draft is rewritten; an empty composer under a mail gets a reply, whose note the next
  // reply's request carries.
  const std::string draft = "내일 회의 자료 좀 봐줘";
  FixtureApp app({"--windows=editor,mail,terminal", "--entry=" + draft});
  ASSERT_TRUE(app.ready());
  focusInFront(app, "entry", "AXTextField");
  app.select("entry", 0, 0);
  ASSERT_TRUE(tap(mirelo)) << mirelo.log;
  ASSERT_TRUE(mirelo.said("삽입 성공")) << mirelo.log;
  EXPECT_EQ(app.text("entry"), "[stand-in rewrite] " + draft);
  focusInFront(app, "composer", "AXTextArea");
  ASSERT_TRUE(tap(mirelo)) << mirelo.log;
  ASSERT_TRUE(mirelo.said("삽입 성공", 2)) << mirelo.log;
  EXPECT_EQ(app.text("composer").rfind("[stand-in reply] ", 0), 0u) << app.text("composer");
  ASSERT_TRUE(mirelo.said("답글에서 배운 것을 타르노에 적었다")) << mirelo.log;
  app.set("composer", "");
  ASSERT_TRUE(tap(mirelo)) << mirelo.log;
  ASSERT_TRUE(mirelo.said("삽입 성공", 3)) << mirelo.log;
  Json sent = Json::parse(lastRequestTo("/generate").value("body", "{}"));
  EXPECT_NE(sent["kb"].dump().find("[stand-in memory]"), std::string::npos) << sent.dump();

  // The dashboard from the menu lists the note.
  ASSERT_TRUE(tray.click("타르노 대시보드"));
  EXPECT_TRUE(windowShows(pid, "[stand-in memory]", 30000)) << windowText(pid);

  // A later start shows the status window of the running one and ends.
  Child second;
  std::string secondLog;
  ASSERT_TRUE(startMirelo(second));
  readUntil(second, "\x01", secondLog);  // all it says, until it ends
  int status = second.stop(0, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << secondLog;
  EXPECT_TRUE(mirelo.said("다시 열림")) << mirelo.log;
  EXPECT_TRUE(pumpUntil([&] { return windowsShown(pid, "Mirelo") == 2; }, 5000));

  // One tap, one rewrite; in a terminal the answer stays on the clipboard.
  ASSERT_TRUE(app.window("terminal")) << "fixture built without libvte";
  backend.reset();
  focusInFront(app, "terminal", "AXTerminal");
  app.select("terminal", 0, 0);
  ASSERT_TRUE(tap(mirelo)) << mirelo.log;
  ASSERT_TRUE(mirelo.said("클립보드에 남김")) << mirelo.log;
  EXPECT_EQ(requestsTo("/rewrite"), 1);

  // Signed out from the menu, a tap asks for a sign-in.
  ASSERT_TRUE(tray.click("로그아웃"));
  ASSERT_TRUE(menuShows("구글로 로그인"));
  focusInFront(app, "entry", "AXTextField");
  ASSERT_TRUE(tap(mirelo)) << mirelo.log;
  EXPECT_TRUE(pumpUntil([&] { return notifications.receivedTitle("먼저 로그인해 주세요"); }, 10000))
      << mirelo.log;

  // SIGTERM: a clean end, the clipboard handed to the manager, which serves it from then on.
  ::kill(pid, SIGTERM);
  mirelo.said("\x01", 1, 20000);  // the rest of its log, until it ends
  status = mirelo.child.stop(0, 20000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  auto saved = manager.line(5000);
  ASSERT_TRUE(saved);
  const std::string answer = Json::parse(saved->substr(6)).get<std::string>();
  EXPECT_EQ(answer.rfind("[stand-in rewrite] 터미널 첫 줄입니다", 0), 0u) << *saved;
  gchar* b64 = g_base64_encode(reinterpret_cast<const guchar*>(answer.data()), answer.size());
  EXPECT_EQ(readClipboard("UTF8_STRING"), b64);
  g_free(b64);

  // Nothing it logged holds a secret of the sign-in.
  for (const auto& log : {mirelo.log, secondLog}) {
    EXPECT_EQ(log.find(*token), std::string::npos);
    EXPECT_EQ(log.find(code), std::string::npos);
  }
}

}  // namespace
}  // namespace desktoptest

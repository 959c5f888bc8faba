// The status window as assistive technology sees it: the demo program shows it on the private
// display, and the test reads its labels and buttons through AT-SPI and presses them there.
#include <atspi/atspi.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FixtureApp.h"
#include "platform/Accessibility.h"

namespace desktoptest {
namespace {

using platform::Rect;

// mirelo_status_demo on the session's display, driven one command line at a time. It prints
// one line at a time, each in one write, and only when asked or pressed.
class StatusDemo {
 public:
  explicit StatusDemo(std::vector<std::string> args) {
    const char* dir = std::getenv("MIRELO_BUILD_DIR");
    args.insert(args.begin(), std::string(dir ? dir : ".") + "/tools/screens/mirelo_status_demo");
    std::vector<gchar*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    int in = -1, out = -1;
    if (!g_spawn_async_with_pipes(nullptr, argv.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                  nullptr, &pid, &in, &out, nullptr, nullptr))
      return;
    in_ = fdopen(in, "w");
    out_ = fdopen(out, "r");
    ready = readLine(10000).rfind("ready", 0) == 0;
  }
  ~StatusDemo() {
    if (pid <= 0) return;
    std::fclose(in_);
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    std::fclose(out_);
  }
  std::string command(const std::string& line) {
    std::fprintf(in_, "%s\n", line.c_str());
    std::fflush(in_);
    return readLine(5000);
  }
  std::string readLine(int timeoutMs) {
    pollfd p{fileno(out_), POLLIN, 0};
    char line[512];
    if (::poll(&p, 1, timeoutMs) <= 0 || !std::fgets(line, sizeof line, out_)) return {};
    return std::string(line, std::strcspn(line, "\n"));
  }

  GPid pid = 0;
  bool ready = false;

 private:
  FILE *in_ = nullptr, *out_ = nullptr;
};

// The demo's window through AT-SPI: its elements found by role and name, their frames
// relative to the window's top left, its buttons pressed.
class StatusWindowDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("MIRELO_SESSION_ROOT"), nullptr)
        << "run me through tests/desktop/session";
    atspi_init();
    atspi_set_timeout(2000, 2000);
  }
  void TearDown() override {
    if (window_) g_object_unref(window_);
  }

  // Finds the demo's window; returns its frame on screen.
  Rect window(StatusDemo& demo) {
    AtspiAccessible* desktop = atspi_get_desktop(0);
    for (int i = 0; !window_ && i < atspi_accessible_get_child_count(desktop, nullptr); ++i) {
      AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
      if (app && int(atspi_accessible_get_process_id(app, nullptr)) == demo.pid)
        window_ = atspi_accessible_get_child_at_index(app, 0, nullptr);
      if (app) g_object_unref(app);
    }
    g_object_unref(desktop);
    return window_ ? extents(window_) : Rect{};
  }
  static Rect extents(AtspiAccessible* a) {
    AtspiComponent* c = atspi_accessible_get_component_iface(a);
    AtspiRect* r = c ? atspi_component_get_extents(c, ATSPI_COORD_TYPE_SCREEN, nullptr) : nullptr;
    Rect out = r ? Rect{double(r->x), double(r->y), double(r->width), double(r->height)} : Rect{};
    if (c) g_object_unref(c);
    g_free(r);
    return out;
  }
  // The nth showing element under node with this role and name (a new reference), or null.
  static AtspiAccessible* find(AtspiAccessible* node, const std::string& role,
                               const std::string& name, int& nth) {
    AtspiAccessible* found = nullptr;
    for (int i = 0; !found && i < atspi_accessible_get_child_count(node, nullptr); ++i) {
      AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr);
      if (!child) continue;
      AtspiStateSet* states = atspi_accessible_get_state_set(child);
      if (atspi_state_set_contains(states, ATSPI_STATE_SHOWING)) {
        g_autofree gchar* r = atspi_accessible_get_role_name(child, nullptr);
        g_autofree gchar* n = atspi_accessible_get_name(child, nullptr);
        bool match = r && n && role == r && name == n && nth-- == 0;
        found = match ? static_cast<AtspiAccessible*>(g_object_ref(child))
                      : find(child, role, name, nth);
      }
      g_object_unref(states);
      g_object_unref(child);
    }
    return found;
  }
  // Where the element shows in the window; all -1 when it does not.
  Rect frameOf(const std::string& role, const std::string& name, int nth = 0) {
    AtspiAccessible* a = window_ ? find(window_, role, name, nth) : nullptr;
    if (!a) return {-1, -1, -1, -1};
    Rect r = extents(a), w = extents(window_);
    g_object_unref(a);
    return {r.x - w.x, r.y - w.y, r.width, r.height};
  }
  // Presses a button through its AT-SPI action; returns what the demo printed.
  std::string press(StatusDemo& demo, const std::string& name, int nth = 0) {
    AtspiAccessible* button = window_ ? find(window_, "push button", name, nth) : nullptr;
    AtspiAction* action = button ? atspi_accessible_get_action_iface(button) : nullptr;
    if (button) g_object_unref(button);
    if (!action) return "no button " + name;
    atspi_action_do_action(action, 0, nullptr);
    g_object_unref(action);
    return demo.readLine(3000);
  }

  AtspiAccessible* window_ = nullptr;
};

TEST_F(StatusWindowDesktopTest, SignedInWithEverythingGranted) {
  StatusDemo demo({});
  ASSERT_TRUE(demo.ready);
  Rect frame = window(demo);
  EXPECT_EQ(frame.width, 360);
  EXPECT_EQ(frame.height, 265);
  EXPECT_EQ(frameOf("label", "Mirelo"), (Rect{56, 21, 140, 19}));
  EXPECT_EQ(frameOf("push button", "로그아웃"), (Rect{276, 22, 60, 17}));
  EXPECT_EQ(frameOf("push button", "Mirelo 열기"), (Rect{24, 76, 312, 40}));
  EXPECT_EQ(frameOf("label", "이번 달 사용량"), (Rect{24, 138, 160, 15}));
  EXPECT_EQ(frameOf("label", "42.5%"), (Rect{216, 138, 120, 15}));
  EXPECT_EQ(frameOf("label", "아무 입력창에 커서를 두고 오른쪽 Alt 를 한 번 누르세요."),
            (Rect{24, 203, 312, 32}));
  EXPECT_EQ(frameOf("push button", "최근 기록"), (Rect{24, 237, 88, 20}));
  EXPECT_EQ(press(demo, "Mirelo 열기"), "pressed openDashboard");
  EXPECT_EQ(press(demo, "로그아웃"), "pressed signOut");
  EXPECT_EQ(press(demo, "최근 기록"), "pressed showDiagnostics");

  // The fill over the track: drawn at its width, and again on the window's next turn.
  EXPECT_EQ(frameOf("drawing area", "", 1), (Rect{24, 159, 132, 4}));
  demo.command(R"(usage {"spentKrw":12500,"capKrw":10000})");
  EXPECT_TRUE(pumpUntil([&] { return frameOf("drawing area", "", 1) == Rect{24, 159, 312, 4}; }));
}

TEST_F(StatusWindowDesktopTest, SignedOutWithBothPermissionsMissingShrinksOnAGrant) {
  StatusDemo demo({"--signed-out", "--no-ax", "--no-input"});
  ASSERT_TRUE(demo.ready);
  Rect before = window(demo);
  EXPECT_EQ(before.height, 410);
  EXPECT_EQ(frameOf("label", "아직 로그인 전입니다"), (Rect{24, 76, 312, 17}));
  EXPECT_EQ(frameOf("push button", "구글로 로그인"), (Rect{24, 100, 312, 40}));
  EXPECT_EQ(frameOf("label", "입력 모니터링"), (Rect{24, 180, 200, 17}));
  EXPECT_EQ(frameOf("push button", "열기"), (Rect{280, 183, 56, 24}));
  EXPECT_EQ(frameOf("label", "손쉬운 사용"), (Rect{24, 220, 200, 17}));
  EXPECT_EQ(frameOf("push button", "열기", 1), (Rect{280, 223, 56, 24}));
  EXPECT_EQ(frameOf("push button", "다시 켜기"), (Rect{260, 294, 76, 25}));
  EXPECT_EQ(press(demo, "구글로 로그인"), "pressed signIn");
  EXPECT_EQ(press(demo, "열기", 0), "pressed openInputMonitoring");
  EXPECT_EQ(press(demo, "열기", 1), "pressed openAccessibility");
  EXPECT_EQ(press(demo, "다시 켜기"), "pressed relaunch");

  EXPECT_EQ(demo.command("grant-ax"), "ok 370");
  EXPECT_TRUE(pumpUntil([&] { return window(demo).height == 370; }));
  EXPECT_EQ(window(demo).y, before.y) << "the top edge stays";
  EXPECT_EQ(frameOf("label", "손쉬운 사용").width, -1);
}

}  // namespace
}  // namespace desktoptest

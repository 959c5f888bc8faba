// Running applications on X11, without a window manager (as on the test display).
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <fstream>

#include "FixtureApp.h"
#include "platform/linux/X11Workspace.h"

namespace {

class WorkspaceOnDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gtk_init_check(nullptr, nullptr)) GTEST_SKIP() << "no display";
  }
  ManualClock clock{0};
};

// The application in front follows the focused window; observers hear of each change of it and
// of each application that ends, until they are removed.
TEST_F(WorkspaceOnDesktop, FrontmostApplicationAndItsObservers) {
  desktoptest::FixtureApp withId({"--app-id=org.mirelo.TestMail"});
  desktoptest::FixtureApp plain({"--windows=editor"});
  ASSERT_TRUE(withId.ready() && plain.ready());
  linuxport::X11Workspace ws(clock);
  ASSERT_TRUE(ws.connected());
  std::vector<int> activated, terminated;
  ws.addActivationObserver(
      [&](const platform::RunningApplication& a) { activated.push_back(a.pid); });
  int token = ws.addTerminationObserver(
      [&](const platform::RunningApplication& a) { terminated.push_back(a.pid); });

  ASSERT_TRUE(ws.activate(withId.pid()));
  auto front = ws.frontmostApplication();
  ASSERT_TRUE(front);
  EXPECT_EQ(front->pid, withId.pid());
  EXPECT_EQ(front->bundleID, "org.mirelo.TestMail");
  EXPECT_EQ(front->name, "Mirelo_fixture");  // no desktop file: the WM_CLASS class
  // The focus change reaches the observers as an event, without a poll.
  ASSERT_TRUE(desktoptest::pumpUntil([&] { return activated.size() == 1; }));
  ASSERT_TRUE(ws.activate(plain.pid()));
  front = ws.frontmostApplication();
  ASSERT_TRUE(front);
  EXPECT_EQ(front->pid, plain.pid());
  EXPECT_EQ(front->bundleID, "mirelo_fixture");
  ASSERT_TRUE(desktoptest::pumpUntil([&] { return activated.size() == 2; }));
  clock.advance(2);  // no change: no second notice
  EXPECT_EQ(activated, (std::vector<int>{withId.pid(), plain.pid()}));
  EXPECT_FALSE(ws.activate(999999));

  auto running = ws.runningApplications();
  EXPECT_EQ(
      std::count_if(running.begin(), running.end(),
                    [&](const auto& a) { return a.pid == withId.pid() || a.pid == plain.pid(); }),
      2);
  int gone = plain.pid();
  plain.stop();
  clock.advance(2);
  EXPECT_EQ(terminated, std::vector<int>{gone});
  ws.removeObserver(token);
  withId.stop();
  clock.advance(2);
  EXPECT_EQ(terminated, std::vector<int>{gone}) << "removed observers hear nothing";
}

TEST_F(WorkspaceOnDesktop, OpensURLsWithTheBrowserFromTheEnvironment) {
  ASSERT_TRUE(std::getenv("MIRELO_SESSION_ROOT")) << "run me through tests/desktop/session";
  std::string out = std::string(std::getenv("MIRELO_SESSION_ROOT")) + "/opened";
  std::ofstream(out + ".sh") << "#!/bin/sh\nprintf '%s' \"$1\" > '" << out << "'\n";
  std::filesystem::permissions(out + ".sh", std::filesystem::perms::owner_all);
  setenv("BROWSER", (out + ".sh").c_str(), 1);
  linuxport::X11Workspace ws(clock);
  ASSERT_TRUE(ws.open("http://127.0.0.1:1/cb?code=a b&state=x'y"));
  unsetenv("BROWSER");
  std::string got;
  desktoptest::pumpUntil([&] { return static_cast<bool>(std::getline(std::ifstream(out), got)); });
  EXPECT_EQ(got, "http://127.0.0.1:1/cb?code=a b&state=x'y");
}

}  // namespace

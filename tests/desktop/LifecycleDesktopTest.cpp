// The real program on the private session: a later start hands its arguments to the running
// one and ends, the running one shows its status window, and SIGTERM ends it cleanly, after
// the write of a trigger under way.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "Child.h"
#include "DesktopSession.h"
#include "MireloProcess.h"
#include "StandInBackend.h"
#include "TrayWatcher.h"
#include "account/Keychain.h"
#include "account/Settings.h"

namespace desktoptest {
namespace {

TEST(SingleInstanceDesktopTest, LaterStartReopensTheRunningOneAndSigtermEndsItCleanly) {
  TrayWatcher tray;  // with a tray the status window stays hidden at start
  Child first;
  std::string log;
  ASSERT_TRUE(startMirelo(first));
  ASSERT_TRUE(readUntil(first, "Mirelo 실행 중", log)) << log;
  ASSERT_TRUE(pumpUntil([&] { return tray.registered(); }, 5000));
  pumpFor(300);
  EXPECT_EQ(windowsShown(first.pid(), "Mirelo"), 0);

  Child second;
  ASSERT_TRUE(startMirelo(second, {"--dashboard"}));
  std::string secondLog;
  readUntil(second, "\x01", secondLog);  // all it says, until it ends
  int status = second.stop(0, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << secondLog;
  EXPECT_EQ(secondLog.find("이벤트 탭"), std::string::npos) << secondLog;

  EXPECT_TRUE(readUntil(first, "다시 열림", log)) << log;
  // The status window and the dashboard.
  EXPECT_TRUE(pumpUntil([&] { return windowsShown(first.pid(), "Mirelo") == 2; }, 5000)) << log;

  status = first.stop(SIGTERM, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A relaunch starts the program with the replace request: the new one takes over at once (the
// old one is about to quit), and later starts reach the new one.
TEST(SingleInstanceDesktopTest, ARelaunchedStartTakesOverFromTheRunningOne) {
  TrayWatcher tray;
  Child old, fresh, later;
  std::string oldLog, freshLog, laterLog;
  ASSERT_TRUE(startMirelo(old));
  ASSERT_TRUE(readUntil(old, "Mirelo 실행 중", oldLog)) << oldLog;
  ASSERT_TRUE(startMirelo(fresh, {}, {"MIRELO_REPLACE=1"}));
  EXPECT_TRUE(readUntil(fresh, "Mirelo 실행 중", freshLog)) << freshLog;
  EXPECT_TRUE(readUntil(old, "이어받았다", oldLog)) << oldLog;
  int status = old.stop(SIGTERM, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  ASSERT_TRUE(startMirelo(later));
  readUntil(later, "\x01", laterLog);
  status = later.stop(0, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << laterLog;
  EXPECT_TRUE(readUntil(fresh, "다시 열림", freshLog)) << freshLog;
  status = fresh.stop(SIGTERM, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// Signed in against the stand-in backend, whose rewrite takes a second.
class QuitDesktopTest : public DesktopSession {
 protected:
  void SetUp() override {
    DesktopSession::SetUp();
    if (HasFatalFailure()) return;
    signInTo(backend.url());
    backend.route("POST", "/rewrite", Json{{"delaySeconds", 1.0}});
  }
  bool rewriteRequested() {
    for (const auto& r : backend.requests())
      if (r.value("path", "") == "/rewrite") return true;
    return false;
  }
  StandInBackend backend;
};

// SIGTERM while a trigger waits for its rewrite: the program ends with 0 only after writing it.
TEST_F(QuitDesktopTest, SigtermLetsTheTriggerUnderWayWriteFirst) {
  TrayWatcher tray;
  Child mirelo;
  std::string log;
  ASSERT_TRUE(startMirelo(mirelo));
  ASSERT_TRUE(readUntil(mirelo, "Mirelo 실행 중", log)) << log;
  const std::string draft = "내일 회의 자료 좀 봐줘";
  FixtureApp app({"--windows=editor", "--entry=" + draft});
  ASSERT_TRUE(app.ready());
  ASSERT_TRUE(focusOn(app, "entry", "AXTextField"));
  app.select("entry", 0, 0);
  pumpFor(500);  // the program sees the fixture in front
  desk->keyboard.postTriggerTap();
  ASSERT_TRUE(pumpUntil([&] { return rewriteRequested(); }, 10000));

  int status = mirelo.stop(SIGTERM, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(pumpUntil([&] { return app.text("entry") == "[stand-in rewrite] " + draft; }, 1000))
      << app.text("entry");
}

}  // namespace
}  // namespace desktoptest

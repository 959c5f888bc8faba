// Two starts of the real program on the private session: the later one hands its arguments to
// the running one and ends, the running one shows its status window, and SIGTERM ends it
// cleanly.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "Child.h"
#include "TrayWatcher.h"

namespace desktoptest {
namespace {

// The program with its stderr (the log) on the same pipe as its stdout.
bool startMirelo(Child& child, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args{"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", buildDir() + "/mirelo"};
  args.insert(args.end(), extra.begin(), extra.end());
  return child.start(args);
}

// Reads lines until one holds text; everything read on the way goes to seen.
bool readUntil(Child& child, const std::string& text, std::string& seen, int timeoutMs = 10000) {
  while (auto line = child.read('\n', timeoutMs)) {
    seen += *line + "\n";
    if (line->find(text) != std::string::npos) return true;
  }
  return false;
}

// Whether the process shows a top-level window with this title.
bool showsWindow(int pid, const std::string& title) {
  std::string command =
      "xdotool search --onlyvisible --pid " + std::to_string(pid) + " --name '^" + title + "$'";
  gint status = -1;
  return g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, &status, nullptr) &&
         g_spawn_check_wait_status(status, nullptr);
}

TEST(SingleInstanceDesktopTest, LaterStartReopensTheRunningOneAndSigtermEndsItCleanly) {
  TrayWatcher tray;  // with a tray the status window stays hidden at start
  Child first;
  std::string log;
  ASSERT_TRUE(startMirelo(first));
  ASSERT_TRUE(readUntil(first, "Mirelo 실행 중", log)) << log;
  ASSERT_TRUE(pumpUntil([&] { return tray.registered(); }, 5000));
  pumpFor(300);
  EXPECT_FALSE(showsWindow(first.pid(), "Mirelo"));

  Child second;
  ASSERT_TRUE(startMirelo(second, {"--dashboard"}));
  std::string secondLog;
  readUntil(second, "\x01", secondLog);  // all it says, until it ends
  int status = second.stop(0, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << secondLog;
  EXPECT_EQ(secondLog.find("이벤트 탭"), std::string::npos) << secondLog;

  EXPECT_TRUE(readUntil(first, "다시 열림", log)) << log;
  EXPECT_TRUE(readUntil(first, "대시보드", log)) << log;
  EXPECT_TRUE(pumpUntil([&] { return showsWindow(first.pid(), "Mirelo"); }, 5000));

  status = first.stop(SIGTERM, 10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace desktoptest

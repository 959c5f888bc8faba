// Signing in from the menu against the stand-in backend: the browser round trip, the message
// naming the stored key, the knowledge base loaded and the menu rebuilt.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "StandInBackend.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeStatusItem.h"
#include "platform/linux/CurlHttp.h"
#include "platform/linux/OpenURL.h"

namespace {

struct LoadCounting : KnowledgeBase {
  explicit LoadCounting(int& loads) : loads(loads) {}
  Task<std::optional<Json>> retrieve(std::string, std::optional<std::string>) override {
    co_return std::nullopt;
  }
  void ingest(std::string, std::string, std::string, std::string) override {}
  void ensureLoaded() override { ++loads; }
  void teardown() override {}
  void flushQueue() override {}
  int& loads;
};

// Opens pages the way the desktop would: with the browser $BROWSER names.
struct BrowserWorkspace : fake::FakeWorkspace {
  bool open(const std::string& url) override { return linuxport::openURL(url); }
};

TEST(MenuSignInTest, SignsInTellsTheUserAndLoadsTheKnowledgeBase) {
  StandInBackend backend;
  std::string browser = "/tmp/mirelo-browser-" + std::to_string(::getpid());
  std::ofstream(browser) << "#!/bin/sh\nexec curl -sS -L --max-time 20 -o /dev/null \"$1\"\n";
  chmod(browser.c_str(), 0755);
  setenv("BROWSER", browser.c_str(), 1);

  fake::FakeDesktop desk;
  BrowserWorkspace workspace;
  linuxport::CurlHttp http{desk.clock};
  platform::Platform p{desk.clock,      desk.accessibility, desk.keyboard,
                       desk.pasteboard, workspace,          desk.defaults,
                       desk.secrets,    desk.notifier,      http,
                       desk.ui,         desk.webViews,      desk.updater};
  auto& d = desk.defaults.values;
  d["MireloBackendURL"] = backend.url();
  d["MireloGoogleAuthURL"] = backend.url() + "/o/oauth2/v2/auth";
  d["MireloGoogleTokenURL"] = backend.url() + "/token";
  d["MireloGoogleClientID"] = "stand-in-client.apps";
  Settings::setTriggerCode(desk.defaults, TriggerKey::controlRight);
  int loads = 0;
  auto app =
      std::make_shared<AppDelegate>(p, [&] { return std::make_unique<LoadCounting>(loads); });
  fake::FakeStatusItem item;
  app->setupStatusItem(item);

  ASSERT_TRUE(item.click("구글로 로그인"));
  EXPECT_TRUE(desk.clock.runUntil([&] { return !desk.notifier.posted.empty(); }, 20));
  ASSERT_EQ(desk.notifier.posted.size(), 1u);
  EXPECT_EQ(desk.notifier.posted[0].title, "로그인되었습니다");
  EXPECT_EQ(desk.notifier.posted[0].body, "이제 입력창에서 오른쪽 Ctrl 를 눌러보세요.");
  EXPECT_EQ(loads, 1);
  EXPECT_TRUE(item.click("로그아웃")) << "the menu is rebuilt signed in";
  unsetenv("BROWSER");
  std::remove(browser.c_str());
}

}  // namespace

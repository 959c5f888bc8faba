#include "kb/DashboardWindow.h"

#include <gtest/gtest.h>

#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Log.h"
#include "fake/FakeDesktop.h"

namespace {

const platform::SecurityOrigin kBackend{"https", "api.mirelo.app", 0};
const std::string kPage = "https://api.mirelo.app/app/#s=";

class DashboardWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Keychain::set(desk.secrets, "token-1", Keychain::kSessionToken);
    dashboard.onEngineTornDown = [this] { ++tornDown; };
    dashboard.onTriggerSettingsChanged = [this] { ++settingsChanged; };
    dashboard.show();
  }
  fake::FakeWebWindow& window() { return *desk.webViews.windows.back(); }
  fake::FakeWebView& view() { return window().fakeView(); }
  // Runs n release checks, answering each busy probe with busy (nothing: no boolean).
  void checks(int n, std::optional<bool> busy) {
    for (int i = 0; i < n; ++i) {
      desk.clock.advance(DashboardWindow::kCheckSeconds);
      if (view().calls.empty()) continue;
      EXPECT_EQ(view().calls.front().body, DashboardWindow::kBusyProbeScript);
      view().finishCall({busy ? std::optional<Json>(*busy) : std::nullopt, std::nullopt});
    }
  }
  void download() {
    view().onDownload("kb.md", [](std::optional<std::string>) {});
  }
  std::string refusal(Json body, platform::SecurityOrigin origin = kBackend, bool main = true) {
    return view().ask("mireloSettings", std::move(body), std::move(origin), main)->error;
  }
  std::shared_ptr<fake::FakeWebView::Reply> set(Json values) {
    return view().ask("mireloSettings", {{"type", "set"}, {"values", values}}, kBackend);
  }

  Log::Capture capture;
  fake::FakeDesktop desk;
  TarnBridge bridge{desk.defaults};
  DashboardWindow dashboard{desk.platform(), bridge};
  int tornDown = 0, settingsChanged = 0;
};

TEST_F(DashboardWindowTest, ReloadsForANewTokenOrABlankPageOnly) {
  dashboard.show();
  EXPECT_EQ(desk.webViews.loads, std::vector<std::string>{kPage + "token-1"});
  Keychain::set(desk.secrets, "token-2", Keychain::kSessionToken);
  dashboard.show();
  EXPECT_EQ(view().url(), kPage + "token-2");
  window().close();
  checks(1, false);
  EXPECT_EQ(view().url(), "about:blank");
  EXPECT_FALSE(dashboard.isEngineActive());
  dashboard.show();
  EXPECT_EQ(view().url(), kPage + "token-2");
  EXPECT_TRUE(dashboard.isEngineActive());
}

TEST_F(DashboardWindowTest, ReleaseWaitsForDownloadsAndABusyPageUntilTheDeadline) {
  download();
  window().close();
  checks(2, false);
  EXPECT_TRUE(view().calls.empty());  // no probe while a download runs
  view().onDownloadEnded(std::nullopt);
  checks(2, true);
  EXPECT_TRUE(dashboard.isEngineActive());
  checks(1, false);
  EXPECT_EQ(tornDown, 1);
  EXPECT_EQ(desk.clock.pendingTimers(), 0u);

  dashboard.show();
  window().close();
  checks(29, true);
  EXPECT_EQ(tornDown, 1);
  checks(1, true);  // 60 s: released though busy
  EXPECT_EQ(tornDown, 2);

  dashboard.show();
  download();
  window().close();
  checks(30, std::nullopt);
  EXPECT_EQ(tornDown, 3);
}

TEST_F(DashboardWindowTest, AProbeThatNeverAnswersCountsAsIdle) {
  window().close();
  desk.clock.advance(DashboardWindow::kCheckSeconds + DashboardWindow::kProbeSeconds);
  EXPECT_EQ(tornDown, 1);
}

TEST_F(DashboardWindowTest, ReopeningCancelsTheReleaseAndItsPendingProbe) {
  window().close();
  checks(1, true);
  dashboard.show();
  EXPECT_EQ(desk.webViews.loads.size(), 2u);  // the close forgot the loaded token
  window().close();
  desk.clock.advance(DashboardWindow::kCheckSeconds);
  dashboard.show();
  view().finishCall({Json(false), std::nullopt});  // answers a check of the earlier close
  desk.clock.advance(120);
  EXPECT_EQ(tornDown, 0);
  EXPECT_TRUE(dashboard.isEngineActive());
}

TEST_F(DashboardWindowTest, SettingsFromTheBackendsTopFrameChecksTheModeThenTheKey) {
  auto get = view().ask("mireloSettings", {{"type", "get"}}, kBackend);
  EXPECT_EQ(*get->value, (Json{{"triggerMode", "single"}, {"triggerCode", "AltRight"}}));
  EXPECT_EQ(refusal({{"type", "get"}}, kBackend, false), "not-allowed");
  EXPECT_EQ(refusal({{"type", "get"}}, {"https", "api.mirelo.app", 8443}), "not-allowed");
  EXPECT_EQ(refusal(Json::array({"get"})), "알 수 없는 요청입니다");
  EXPECT_EQ(set({{"triggerMode", "Double"}, {"triggerCode", "MetaLeft"}})->error,
            "알 수 없는 트리거 방식입니다");
  EXPECT_FALSE(desk.defaults.object(Settings::kTriggerMode));
  EXPECT_FALSE(desk.defaults.object(Settings::kTriggerCode));
  EXPECT_EQ(set({{"triggerMode", "double"}, {"triggerCode", "Fn"}})->error,
            "이 키는 트리거로 쓸 수 없습니다");
  EXPECT_EQ(Settings::triggerMode(desk.defaults), TriggerMode::double_);  // stays stored
  EXPECT_EQ(settingsChanged, 0);
  auto reply = set({{"triggerCode", "MetaLeft"}});
  EXPECT_EQ(*reply->value, (Json{{"triggerMode", "double"}, {"triggerCode", "MetaLeft"}}));
  EXPECT_EQ(settingsChanged, 1);
}

TEST_F(DashboardWindowTest, FileDialogsBelongToTheWindow) {
  view().onChooseFiles(true, false, [](std::vector<std::string>) {});
  const platform::FileDialog& open = desk.ui.openDialogs.at(0).dialog;
  EXPECT_EQ(open.parent, &window());
  EXPECT_TRUE(open.directories && !open.multiple);
  EXPECT_EQ(open.patterns, (std::vector<std::string>{"*.md", "*.markdown"}));

  std::optional<std::string> chosen = "unanswered";
  view().onDownload("kb.md", [&](std::optional<std::string> path) { chosen = path; });
  const platform::FileDialog& save = desk.ui.saveDialogs.at(0).dialog;
  EXPECT_EQ(save.name, "kb.md");
  EXPECT_EQ(save.directory, "/home/user/Downloads");
  desk.ui.saveDialogs[0].done(std::nullopt);
  EXPECT_EQ(chosen, std::nullopt);
  view().onDownloadEnded("취소됨");
  view().onDownloadEnded("취소됨");  // an extra end never counts below zero
  EXPECT_EQ(dashboard.activeDownloads(), 0);
  EXPECT_TRUE(capture.contains("app", Log::Level::error, "다운로드 실패: 취소됨"));
}

}  // namespace

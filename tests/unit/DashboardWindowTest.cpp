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
    signIn("token-1");
    dashboard.onEngineTornDown = [this] { ++tornDown; };
    dashboard.onTriggerSettingsChanged = [this] { ++settingsChanged; };
  }
  void signIn(const std::string& token) {
    Keychain::set(desk.secrets, token, Keychain::kSessionToken);
  }
  fake::FakeWebWindow& window() { return *desk.webViews.windows.back(); }
  fake::FakeWebView& view() { return window().fakeView(); }
  bool released() const { return tornDown > 0 && !dashboard.isEngineActive(); }

  // Moves to the next release check and answers its busy probe, when it asks one.
  void check(std::optional<bool> busy) {
    desk.clock.advance(DashboardWindow::kCheckSeconds);
    if (view().calls.empty()) return;
    EXPECT_EQ(view().calls.front().body, DashboardWindow::kBusyProbeScript);
    view().finishCall({busy ? std::optional<Json>(*busy) : std::nullopt, std::nullopt});
  }
  // Starts a download the way the page would; returns what the dialog answered.
  std::shared_ptr<std::optional<std::string>> startDownload(const std::string& name) {
    auto chosen = std::make_shared<std::optional<std::string>>("unanswered");
    view().onDownload(name, [chosen](std::optional<std::string> path) { *chosen = path; });
    return chosen;
  }
  std::shared_ptr<fake::FakeWebView::Reply> settings(Json body,
                                                     platform::SecurityOrigin origin = kBackend,
                                                     bool mainFrame = true) {
    return view().ask("mireloSettings", std::move(body), std::move(origin), mainFrame);
  }
  std::shared_ptr<fake::FakeWebView::Reply> set(Json values) {
    return settings({{"type", "set"}, {"values", std::move(values)}});
  }
  std::optional<std::string> stored(std::string_view key) {
    auto value = desk.defaults.object(key);
    if (!value || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
  }

  Log::Capture capture;
  fake::FakeDesktop desk;
  TarnBridge bridge{desk.defaults};
  DashboardWindow dashboard{desk.platform(), bridge};
  int tornDown = 0;
  int settingsChanged = 0;
};

TEST_F(DashboardWindowTest, ShowReloadsOnlyForANewTokenOrABlankPage) {
  dashboard.show();
  ASSERT_EQ(desk.webViews.windows.size(), 1u);
  EXPECT_EQ(desk.webViews.loads, std::vector<std::string>{kPage + "token-1"});
  EXPECT_TRUE(dashboard.isEngineActive());
  EXPECT_TRUE(window().shown);

  dashboard.show();  // same token, live page
  EXPECT_EQ(desk.webViews.loads.size(), 1u);
  EXPECT_EQ(window().presented, 2);

  signIn("token-2");
  dashboard.show();
  EXPECT_EQ(desk.webViews.loads.back(), kPage + "token-2");
  EXPECT_EQ(desk.webViews.windows.size(), 1u);  // the window is kept
}

TEST_F(DashboardWindowTest, SignedOutShowsTheWindowWithoutLoading) {
  Keychain::remove(desk.secrets, Keychain::kSessionToken);
  dashboard.show();
  EXPECT_TRUE(desk.webViews.loads.empty());
  EXPECT_TRUE(window().shown);
  EXPECT_TRUE(dashboard.isEngineActive());
}

TEST_F(DashboardWindowTest, ReleaseWaitsForTheBusyProbeThenBlanksThePage) {
  dashboard.show();
  window().close();
  EXPECT_TRUE(dashboard.isEngineActive());
  check(true);
  check(true);
  EXPECT_FALSE(released());
  check(false);
  EXPECT_TRUE(released());
  EXPECT_EQ(tornDown, 1);
  EXPECT_EQ(view().url(), "about:blank");
  EXPECT_EQ(desk.clock.pendingTimers(), 0u);

  dashboard.show();  // a blank page reloads even with the same token
  EXPECT_EQ(view().url(), kPage + "token-1");
  EXPECT_TRUE(dashboard.isEngineActive());
}

TEST_F(DashboardWindowTest, AProbeThatFailsOrNeverAnswersCountsAsIdle) {
  dashboard.show();
  window().close();
  desk.clock.advance(DashboardWindow::kCheckSeconds);
  view().finishCall({Json("yes"), std::nullopt});  // not a boolean
  EXPECT_TRUE(released());

  tornDown = 0;
  dashboard.show();
  window().close();
  desk.clock.advance(DashboardWindow::kCheckSeconds);
  ASSERT_EQ(view().calls.size(), 1u);
  desk.clock.advance(DashboardWindow::kProbeSeconds);  // the page never answers
  EXPECT_TRUE(released());
  view().finishCall({Json(true), std::nullopt});  // a late answer changes nothing
  EXPECT_EQ(tornDown, 1);
}

TEST_F(DashboardWindowTest, ReleaseWaitsForRunningDownloads) {
  dashboard.show();
  startDownload("notes.md");
  startDownload("avatar.png");
  window().close();
  check(false);
  check(false);
  EXPECT_TRUE(view().calls.empty());  // no probe while a download runs
  view().onDownloadEnded(std::nullopt);
  check(false);
  EXPECT_FALSE(released());
  view().onDownloadEnded(std::nullopt);
  check(false);
  EXPECT_TRUE(released());
  EXPECT_EQ(dashboard.activeDownloads(), 0);
}

TEST_F(DashboardWindowTest, TheSixtySecondDeadlineReleasesABusyPageOrARunningDownload) {
  dashboard.show();
  window().close();
  for (int i = 0; i < 29; ++i)
    check(true);  // up to 58 s
  EXPECT_FALSE(released());
  check(true);
  check(true);
  EXPECT_TRUE(released());

  tornDown = 0;
  dashboard.show();
  startDownload("big.zip");
  window().close();
  for (int i = 0; i < 29; ++i)
    check(std::nullopt);
  EXPECT_FALSE(released());
  check(std::nullopt);
  check(std::nullopt);
  EXPECT_TRUE(released());
  EXPECT_EQ(dashboard.activeDownloads(), 1);
}

TEST_F(DashboardWindowTest, ReopeningCancelsTheReleaseAndReloads) {
  dashboard.show();
  window().close();
  check(true);
  dashboard.show();
  EXPECT_EQ(desk.webViews.loads.size(), 2u);  // the close forgot the loaded token
  desk.clock.advance(120);
  EXPECT_EQ(tornDown, 0);
  EXPECT_TRUE(dashboard.isEngineActive());
  EXPECT_TRUE(view().calls.empty());
}

TEST_F(DashboardWindowTest, AProbeFromAnEarlierCloseDoesNothing) {
  dashboard.show();
  window().close();
  desk.clock.advance(DashboardWindow::kCheckSeconds);
  ASSERT_EQ(view().calls.size(), 1u);
  dashboard.show();
  view().finishCall({Json(false), std::nullopt});
  EXPECT_EQ(tornDown, 0);
  EXPECT_TRUE(dashboard.isEngineActive());
  EXPECT_EQ(desk.clock.pendingTimers(), 0u);

  window().close();  // a new close gets its own checks
  check(false);
  EXPECT_EQ(tornDown, 1);
}

TEST_F(DashboardWindowTest, GetAnswersTheStoredValuesWithDefaults) {
  dashboard.show();
  auto reply = settings({{"type", "get"}});
  ASSERT_EQ(reply->count, 1);
  EXPECT_EQ(*reply->value, (Json{{"triggerMode", "single"}, {"triggerCode", "AltRight"}}));
  desk.defaults.set(Settings::kTriggerMode, Json("double"));
  desk.defaults.set(Settings::kTriggerCode, Json("Fn"));
  EXPECT_EQ(*settings({{"type", "get"}})->value,
            (Json{{"triggerMode", "double"}, {"triggerCode", "AltRight"}}));
}

TEST_F(DashboardWindowTest, SetValidatesTheModeBeforeTheKey) {
  dashboard.show();
  auto reply = set({{"triggerMode", "Double"}, {"triggerCode", "MetaLeft"}});
  EXPECT_EQ(reply->error, "알 수 없는 트리거 방식입니다");
  EXPECT_FALSE(reply->value);
  EXPECT_FALSE(stored(Settings::kTriggerMode));
  EXPECT_FALSE(stored(Settings::kTriggerCode));
  EXPECT_EQ(set({{"triggerMode", nullptr}})->error, "알 수 없는 트리거 방식입니다");

  reply = set({{"triggerMode", "double"}, {"triggerCode", "Fn"}});
  EXPECT_EQ(reply->error, "이 키는 트리거로 쓸 수 없습니다");
  EXPECT_EQ(stored(Settings::kTriggerMode), "double");  // the mode stays stored
  EXPECT_FALSE(stored(Settings::kTriggerCode));
  EXPECT_EQ(settingsChanged, 0);

  reply = set({{"triggerMode", "off"}, {"triggerCode", "MetaLeft"}});
  EXPECT_EQ(settingsChanged, 1);
  EXPECT_EQ(*reply->value, (Json{{"triggerMode", "off"}, {"triggerCode", "MetaLeft"}}));
  EXPECT_EQ(reply->error, "");

  reply = settings({{"type", "set"}, {"values", "triggerMode=single"}});  // no values at all
  EXPECT_EQ(settingsChanged, 2);
  EXPECT_EQ((*reply->value)["triggerMode"], "off");
}

TEST_F(DashboardWindowTest, SettingsAnswerOnlyTheBackendsTopFrame) {
  dashboard.show();
  EXPECT_EQ(settings({{"type", "get"}}, kBackend, false)->error, "not-allowed");
  EXPECT_EQ(settings({{"type", "set"}, {"values", {{"triggerMode", "off"}}}},
                     {"https", "api.mirelo.app", 8443})
                ->error,
            "not-allowed");
  EXPECT_EQ(settings({{"type", "get"}}, {"http", "api.mirelo.app", 0})->error, "not-allowed");
  EXPECT_FALSE(stored(Settings::kTriggerMode));
  EXPECT_EQ(settings({{"type", "reset"}})->error, "알 수 없는 요청입니다");
  EXPECT_EQ(settings({{"type", 1}})->error, "알 수 없는 요청입니다");
  EXPECT_EQ(settings(Json::array({"get"}))->error, "알 수 없는 요청입니다");
  // The knowledge-base requests of the page go to the bridge, with the same origin check.
  auto tarn = view().ask("mireloTarn", {{"type", "load"}}, kBackend, false);
  ASSERT_TRUE(tarn);
  EXPECT_EQ(tarn->error, "not-allowed");
}

TEST_F(DashboardWindowTest, FileInputsOfferTheKnowledgeBaseTypes) {
  dashboard.show();
  std::vector<std::string> chosen;
  view().onChooseFiles(true, false, [&](std::vector<std::string> paths) { chosen = paths; });
  ASSERT_EQ(desk.ui.openDialogs.size(), 1u);
  const platform::FileDialog& dialog = desk.ui.openDialogs[0].dialog;
  EXPECT_EQ(dialog.parent, &window());
  EXPECT_TRUE(dialog.directories);
  EXPECT_FALSE(dialog.multiple);
  EXPECT_EQ(dialog.patterns, (std::vector<std::string>{"*.md", "*.markdown"}));
  EXPECT_EQ(dialog.mimeTypes,
            (std::vector<std::string>{"text/plain", "text/*", "text/csv", "application/json",
                                      "application/pdf", "image/png", "image/jpeg", "image/webp",
                                      "image/gif"}));
  desk.ui.openDialogs[0].done({"/home/user/a.md"});
  EXPECT_EQ(chosen, std::vector<std::string>{"/home/user/a.md"});
}

TEST_F(DashboardWindowTest, DownloadsAskWhereToSaveAndLogFailures) {
  dashboard.show();
  auto chosen = startDownload("kb.md");
  ASSERT_EQ(desk.ui.saveDialogs.size(), 1u);
  const platform::FileDialog& dialog = desk.ui.saveDialogs[0].dialog;
  EXPECT_EQ(dialog.name, "kb.md");
  EXPECT_EQ(dialog.directory, "/home/user/Downloads");
  EXPECT_EQ(dialog.parent, &window());
  desk.ui.saveDialogs[0].done(std::nullopt);  // cancelled
  EXPECT_EQ(*chosen, std::nullopt);
  view().onDownloadEnded("취소됨");
  view().onDownloadEnded("취소됨");  // an extra end never counts below zero
  EXPECT_EQ(dashboard.activeDownloads(), 0);
  EXPECT_TRUE(capture.contains("app", Log::Level::error, "다운로드 실패: 취소됨"));

  desk.ui.downloads.reset();
  chosen = startDownload("kb.md");
  EXPECT_EQ(desk.ui.saveDialogs[1].dialog.directory, "");
  desk.ui.saveDialogs[1].done("/tmp/kb.md");
  EXPECT_EQ(*chosen, "/tmp/kb.md");
  EXPECT_EQ(dashboard.activeDownloads(), 1);
}

TEST_F(DashboardWindowTest, NewWindowsGoToTheBrowser) {
  dashboard.show();
  view().onOpenWindow("https://example.org/help");
  EXPECT_EQ(desk.workspace.openedURLs, std::vector<std::string>{"https://example.org/help"});
  EXPECT_EQ(desk.webViews.windows.size(), 1u);
}

}  // namespace

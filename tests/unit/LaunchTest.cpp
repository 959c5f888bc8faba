#include "app/Launch.h"

#include <gtest/gtest.h>

#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "base/Log.h"
#include "fake/FakeDesktop.h"
#include "fake/FakeFormWindow.h"
#include "fake/FakeStatusItem.h"
#include "fake/RecordingKnowledgeBase.h"
#include "field/AX.h"
#include "field/Permissions.h"

namespace {

using Level = Log::Level;
using Lines = std::vector<std::string>;

constexpr const char* kDeadLine = "탭이 죽어 있습니다 — 시스템은 키를 보는데 탭에는 안 들어옵니다";
constexpr const char* kAliveLine = "탭이 다시 이벤트를 받습니다";
constexpr const char* kDeadRow = "단축키가 적용되지 않았습니다 — 다시 켜기";

// The delegate launched on the fake desktop, signed in, with every permission unless a test
// takes one away before launching.
class LaunchTest : public testing::Test {
 protected:
  void SetUp() override {
    AX::resetForTesting();
    Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    app->onQuit = [this] { ++quits; };
    app->launcher().onListening = [this] { ++listenings; };
  }

  void launch(Lines args = {"mirelo"}) {
    app->launch({item, bridge,
                 [this] {
                   auto w = std::make_unique<fake::FakeFormWindow>();
                   window = w.get();
                   return w;
                 },
                 std::nullopt, std::move(args)});
  }
  bool windowOpen() const { return window && window->open; }
  size_t count(const char* category, const char* line) const {
    size_t n = 0;
    for (const auto& r : log.records())
      n += r.category == category && r.message == line;
    return n;
  }
  // A modifier press the listener hears.
  void keyEvent() { desk.keyboard.inject({platform::KeyEventType::flagsChanged, 58, 0, {}}); }
  bool onboarded() { return desk.defaults.object(Settings::kDidOnboard) == Json(true); }

  fake::FakeDesktop desk;
  fake::FakeStatusItem item;
  fake::FakeFormWindow* window = nullptr;
  TarnBridge bridge{desk.defaults};
  std::shared_ptr<fake::RecordingKnowledgeBase::Calls> kb =
      std::make_shared<fake::RecordingKnowledgeBase::Calls>();
  std::shared_ptr<AppDelegate> app =
      std::make_shared<AppDelegate>(desk.platform(), fake::RecordingKnowledgeBase::factory(kb));
  Log::Capture log;
  int quits = 0, listenings = 0;
};

TEST_F(LaunchTest, StartsConfiguredAndListensOnTheNextTurnWithoutShowingAnything) {
  desk.defaults.set(Settings::kTriggerMode, Json("double"));
  Settings::setTriggerCode(desk.defaults, TriggerKey::controlRight);
  desk.defaults.set(Settings::kBackendURL, Json("http://127.0.0.1:9"));
  launch({"mirelo", "--dashboard"});
  EXPECT_TRUE(log.contains("app", Level::info,
                           "시작: 입력모니터링 true, 손쉬운사용 true, 로그인 true, 서버 "
                           "http://127.0.0.1:9 (defaults 재정의)"));
  TriggerTap& tap = *app->trigger();
  EXPECT_EQ(tap.mode, TriggerMode::double_);
  EXPECT_EQ(tap.key, TriggerKey::controlRight);
  EXPECT_FALSE(tap.installed()) << "the listener waits for the launch to finish";
  EXPECT_EQ(kb->loads, 1);
  EXPECT_EQ(desk.webViews.windows.size(), 1u) << "the dashboard shows at once";
  EXPECT_TRUE(bridge.isDashboardActive()) << "and holds the engine's writes";

  desk.clock.runPending();
  EXPECT_TRUE(tap.installed());
  EXPECT_EQ(listenings, 1);
  EXPECT_TRUE(onboarded());
  EXPECT_FALSE(windowOpen());
  EXPECT_TRUE(desk.ui.alerts.empty());
}

TEST_F(LaunchTest, SignedOutWithoutOverrideTheEngineIsTornDownAndTheLogHasNoMark) {
  Keychain::remove(desk.secrets, Keychain::kSessionToken);
  desk.defaults.set(Settings::kBackendURL, Json(42));  // not a string: no override
  launch();
  EXPECT_TRUE(log.contains("app", Level::info,
                           "시작: 입력모니터링 true, 손쉬운사용 true, 로그인 false, 서버 "
                           "https://api.mirelo.app"));
  EXPECT_EQ(kb->loads, 0);
  EXPECT_EQ(kb->teardowns, 1);
  EXPECT_TRUE(desk.webViews.windows.empty());
}

TEST_F(LaunchTest, AccessibilityGrantedLaterIsAnnouncedOnceAndNeverAskedForUnprompted) {
  desk.accessibility.trusted = false;
  launch();
  desk.clock.runPending();
  EXPECT_TRUE(windowOpen());
  EXPECT_TRUE(app->launcher().watchingForPermission());
  EXPECT_FALSE(app->trigger()->installed());
  EXPECT_EQ(desk.accessibility.prompts, 0) << "turning accessibility on is the user's act";
  desk.clock.advance(4.6);
  EXPECT_FALSE(onboarded());

  // Granted just before a tap-watch tick: the missing listener is not a dead one.
  desk.accessibility.trusted = true;
  desk.clock.advance(0.4);
  EXPECT_FALSE(app->tapDead());
  EXPECT_FALSE(app->trigger()->installed());
  desk.clock.advance(1.0);
  EXPECT_TRUE(app->trigger()->installed());
  EXPECT_TRUE(onboarded());
  ASSERT_EQ(desk.notifier.posted.size(), 1u);
  EXPECT_EQ(desk.notifier.posted[0].title, "준비되었습니다");
  EXPECT_EQ(desk.notifier.posted[0].body, "입력창에서 오른쪽 Alt 를 눌러보세요.");
  EXPECT_TRUE(desk.ui.alerts.empty());
  desk.clock.advance(10);
  EXPECT_EQ(desk.notifier.posted.size(), 1u);

  app->showOnboarding();
  EXPECT_EQ(desk.accessibility.prompts, 1);
}

TEST_F(LaunchTest, InputAccessGrantedWhileRunningOffersARelaunchInstead) {
  desk.keyboard.inputMonitoring = false;
  launch();
  desk.clock.advance(Launch::kPermissionWatchSeconds);
  EXPECT_TRUE(app->launcher().watchingForPermission());
  EXPECT_TRUE(desk.ui.alerts.empty());
  desk.keyboard.inputMonitoring = true;
  const int activations = desk.ui.activations;
  desk.clock.advance(Launch::kPermissionWatchSeconds);
  EXPECT_TRUE(desk.notifier.posted.empty());
  EXPECT_FALSE(onboarded());
  ASSERT_EQ(desk.ui.alerts.size(), 1u);
  EXPECT_EQ(desk.ui.alerts[0].message, "거의 다 됐습니다");
  EXPECT_EQ(desk.ui.alerts[0].informative,
            "입력 모니터링 권한은 앱을 다시 켜야 적용됩니다. 지금 다시 켤까요?");
  EXPECT_EQ(desk.ui.alerts[0].buttons, (Lines{"다시 켜기", "나중에"}));
  EXPECT_EQ(desk.ui.activations, activations + 1);
  EXPECT_EQ(desk.workspace.relaunches, 1);
  desk.clock.advance(Permissions::kQuitDelaySeconds - 0.05);
  EXPECT_EQ(quits, 0);
  desk.clock.advance(0.1);
  EXPECT_EQ(quits, 1);
}

TEST_F(LaunchTest, AListenerThatCannotStartIsOfferedOnceAndCountsAsDead) {
  desk.keyboard.refuseListening = true;
  desk.ui.alertAnswer = 1;  // "나중에"
  launch();
  desk.clock.runPending();
  ASSERT_EQ(desk.ui.alerts.size(), 1u);
  desk.clock.advance(3 * Launch::kTapWatchSeconds);
  EXPECT_TRUE(app->tapDead());
  EXPECT_EQ(count("trigger", kDeadLine), 1u);
  EXPECT_EQ(desk.ui.alerts.size(), 1u);
  EXPECT_EQ(desk.workspace.relaunches, 0);
}

// The listener started at launch; time moves in tap-watch ticks from there.
class TapWatchTest : public LaunchTest {
 protected:
  void SetUp() override {
    LaunchTest::SetUp();
    desk.ui.alertAnswer = 1;
    launch();
    desk.clock.runPending();
    ASSERT_TRUE(app->trigger()->installed());
    app->showWindow();
  }
  // One tick, with the system's idle time as it will be then.
  void tick(double idle) {
    desk.keyboard.modifierIdle = idle;
    desk.clock.advance(Launch::kTapWatchSeconds);
  }
  std::string message() { return window->find("message")->text; }
};

TEST_F(TapWatchTest, SilenceTenSecondsBeyondTheSystemsIdleIsADeadEpisodeOfferedOnce) {
  tick(2);  // 5 s silent
  tick(2);  // 10 s
  EXPECT_FALSE(app->tapDead());
  tick(5);  // 15 s silent, 5 + 10 is not less than 15
  EXPECT_FALSE(app->tapDead());
  tick(3);  // 20 s silent, 13 < 20
  EXPECT_TRUE(app->tapDead());
  EXPECT_EQ(count("trigger", kDeadLine), 1u);
  EXPECT_EQ(message(), "단축키 이벤트가 들어오지 않습니다. 앱을 다시 켜야 합니다.");
  EXPECT_TRUE(item.dimmed);
  EXPECT_TRUE(item.click(kDeadRow));
  EXPECT_EQ(desk.workspace.relaunches, 1);
  EXPECT_EQ(desk.ui.alerts.at(0).message, "거의 다 됐습니다");
  tick(1);
  EXPECT_EQ(desk.ui.alerts.size(), 1u) << "once per episode";
  EXPECT_EQ(count("trigger", kDeadLine), 1u);

  keyEvent();
  tick(1);
  EXPECT_FALSE(app->tapDead());
  EXPECT_EQ(count("trigger", kAliveLine), 1u);
  EXPECT_FALSE(item.dimmed);
  EXPECT_FALSE(item.click(kDeadRow));

  for (int i = 0; i < 3; ++i)
    tick(1);
  EXPECT_TRUE(app->tapDead());
  EXPECT_EQ(desk.ui.alerts.size(), 2u) << "a new episode is offered again";
}

TEST_F(TapWatchTest, LongIdleOrSecureInputRevivesAndNeverDeclaresDead) {
  for (int i = 0; i < 8; ++i)
    tick(2);
  ASSERT_TRUE(app->tapDead());
  tick(Launch::kIdleForRevival);  // silent 45 s, more than 30 + 10
  EXPECT_FALSE(app->tapDead());
  EXPECT_EQ(count("trigger", kAliveLine), 1u);
  tick(Launch::kIdleForRevival - 0.1);
  EXPECT_TRUE(app->tapDead()) << "just under the threshold still counts";

  desk.keyboard.secureInput = true;
  desk.clock.advance(2.0);  // the listener's own secure-input watch looks
  ASSERT_TRUE(app->trigger()->lastSecureInput());
  for (int i = 0; i < 3; ++i)
    tick(0);
  EXPECT_FALSE(app->tapDead());
  EXPECT_EQ(count("trigger", kDeadLine), 2u);
}

TEST_F(TapWatchTest, WithoutAccessibilityTheWatchJudgesNothing) {
  desk.accessibility.trusted = false;
  for (int i = 0; i < 6; ++i)
    tick(0);
  EXPECT_FALSE(app->tapDead());
}

TEST_F(LaunchTest, ActivatedBrowsersAreWokenOnlyWhenHandledAndForgottenWhenTheyEnd) {
  launch();
  platform::RunningApplication browser{501, "firefox", "Firefox"};
  platform::RunningApplication editor{502, "org.gnome.TextEditor", "Text Editor"};
  desk.defaults.set(Settings::kHandleBrowsers, Json(false));
  desk.workspace.bringToFront(browser);
  EXPECT_FALSE(AX::wokenPids().contains(501));
  desk.defaults.set(Settings::kHandleBrowsers, Json(true));
  desk.workspace.bringToFront(editor);
  desk.workspace.bringToFront(browser);
  EXPECT_EQ(AX::wokenPids(), (std::set<std::int32_t>{501}));
  desk.workspace.terminate(browser);
  EXPECT_TRUE(AX::wokenPids().empty());
}

TEST(Permissions, OpensTheDesktopsSettingsOrTheHelpPageAtThePanesAnchor) {
  fake::FakeDesktop desk;
  auto p = desk.platform();
  Permissions::open(p, Permissions::Pane::inputMonitoring);
  EXPECT_TRUE(desk.workspace.openedURLs.empty()) << "no help page, nothing opened";
  desk.defaults.infoValues["MireloPermissionsHelpURL"] = "https://help.example/perm";
  Permissions::open(p, Permissions::Pane::accessibility);
  EXPECT_EQ(desk.workspace.settingsOpened, 1);
  Permissions::open(p, Permissions::Pane::inputMonitoring);
  desk.workspace.hasAccessibilitySettings = false;
  Permissions::open(p, Permissions::Pane::accessibility);
  EXPECT_EQ(desk.workspace.openedURLs, (Lines{"https://help.example/perm#input-monitoring",
                                              "https://help.example/perm#accessibility"}));
}

}  // namespace

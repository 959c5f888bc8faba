// The tray menu as a desktop's tray sees it: exported over dbusmenu by the real indicator,
// with the program's state on the fake desktop.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>

#include "TrayWatcher.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "fake/FakeDesktop.h"
#include "fake/RecordingKnowledgeBase.h"
#include "platform/linux/IndicatorStatusItem.h"

namespace desktoptest {
namespace {

using Lines = std::vector<std::string>;

bool contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class StatusItemDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("MIRELO_SESSION_ROOT"), nullptr)
        << "run me through tests/desktop/session";
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    item =
        std::make_unique<linuxport::IndicatorStatusItem>("", "mirelo-tray", "mirelo-tray-dimmed");
    item->onHostChange = [this](bool present) { hosts.push_back(present); };
    app->setupStatusItem(*item);
  }
  // Starts a tray and waits until the item has registered with it.
  void startTray() {
    watcher = std::make_unique<TrayWatcher>();
    ASSERT_TRUE(pumpUntil([&] { return !watcher->items.empty(); }, 5000));
    const auto& registered = watcher->items.front();
    std::string path = registered.service[0] == '/' ? registered.service : "/StatusNotifierItem";
    menu = std::make_unique<DbusMenuClient>(registered.sender, menuPath(registered.sender, path));
  }
  static std::string menuPath(const std::string& dest, const std::string& itemPath) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    std::string out;
    g_dbus_connection_call(
        bus, dest.c_str(), itemPath.c_str(), "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.kde.StatusNotifierItem", "Menu"), nullptr,
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr,
        [](GObject* s, GAsyncResult* r, gpointer data) {
          GVariant* v = g_dbus_connection_call_finish(G_DBUS_CONNECTION(s), r, nullptr);
          auto* o = static_cast<std::string*>(data);
          if (!v) {
            *o = "-";
            return;
          }
          GVariant* inner = nullptr;
          g_variant_get(v, "(v)", &inner);
          *o = g_variant_get_string(inner, nullptr);
          g_variant_unref(inner);
          g_variant_unref(v);
        },
        &out);
    pumpUntil([&] { return !out.empty(); });
    g_object_unref(bus);
    return out;
  }
  // The menu once it shows line (a rebuild reaches the bus on a later turn of the loop).
  Lines menuShowing(const std::string& line, bool shown = true) {
    Lines lines;
    pumpUntil([&] {
      lines = menu->lines();
      return contains(lines, line) == shown;
    });
    return lines;
  }

  fake::FakeDesktop desk;
  std::shared_ptr<fake::RecordingKnowledgeBase::Calls> kb =
      std::make_shared<fake::RecordingKnowledgeBase::Calls>();
  std::shared_ptr<AppDelegate> app =
      std::make_shared<AppDelegate>(desk.platform(), fake::RecordingKnowledgeBase::factory(kb));
  std::unique_ptr<linuxport::IndicatorStatusItem> item;
  std::unique_ptr<TrayWatcher> watcher;
  std::unique_ptr<DbusMenuClient> menu;
  std::vector<bool> hosts;
};

TEST_F(StatusItemDesktopTest, NoTrayAtFirstThenTheItemRegistersWithOne) {
  ASSERT_TRUE(pumpUntil([&] { return !hosts.empty(); }));
  EXPECT_EQ(hosts, std::vector<bool>{false});
  EXPECT_FALSE(item->hostPresent());
  startTray();
  EXPECT_TRUE(pumpUntil([&] { return item->hostPresent(); }));
  EXPECT_EQ(hosts, (std::vector<bool>{false, true}));
}

TEST_F(StatusItemDesktopTest, ExportedMenuFollowsTheState) {
  startTray();
  EXPECT_EQ(menuShowing("로그아웃"),
            (Lines{"Mirelo 열기", "타르노 대시보드", "---",
                   "입력창에서 오른쪽 Alt 를 한 번 누르면 고쳐 씁니다 (off)", "선택한 글 번역",
                   "---", "트리거", "> [x] 한 번 누르기", "> [ ] 두 번 누르기", "> [ ] 끄기",
                   "[x] 브라우저에서도 사용", "최근 기록 보기", "업데이트 확인", "---", "로그아웃",
                   "Mirelo 종료"}));

  Keychain::remove(desk.secrets, Keychain::kSessionToken);
  desk.accessibility.trusted = false;
  app->refreshStatusIcon();
  Lines lines = menuShowing("구글로 로그인");
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 6),
            (Lines{"Mirelo 열기", "---", "구글로 로그인", "---", "손쉬운 사용 권한이 필요합니다",
                   "---"}));
  EXPECT_FALSE(contains(lines, "로그아웃"));

  app->setTapDead(true);
  app->refreshStatusIcon();
  menuShowing("단축키가 적용되지 않았습니다 — 다시 켜기");
}

TEST_F(StatusItemDesktopTest, ClicksThroughTheBusReachTheActions) {
  startTray();
  menuShowing("로그아웃");
  ASSERT_TRUE(menu->click("두 번 누르기"));
  menuShowing("> [x] 두 번 누르기");
  EXPECT_EQ(desk.defaults.values[std::string(Settings::kTriggerMode)], "double");

  desk.defaults.remove(Settings::kTriggerMode);
  app->refreshStatusIcon();
  menuShowing("> [x] 한 번 누르기");

  ASSERT_TRUE(menu->click("브라우저에서도 사용"));
  menuShowing("[ ] 브라우저에서도 사용");
  EXPECT_EQ(desk.defaults.values[std::string(Settings::kHandleBrowsers)], false);
  ASSERT_TRUE(menu->click("브라우저에서도 사용"));
  menuShowing("[x] 브라우저에서도 사용");
  EXPECT_EQ(desk.defaults.values[std::string(Settings::kHandleBrowsers)], true);

  ASSERT_TRUE(menu->click("로그아웃"));
  Lines lines = menuShowing("구글로 로그인");
  EXPECT_FALSE(contains(lines, "로그아웃"));
  EXPECT_FALSE(contains(lines, "타르노 대시보드"));
  EXPECT_FALSE(Keychain::get(desk.secrets, Keychain::kSessionToken));
}

}  // namespace
}  // namespace desktoptest

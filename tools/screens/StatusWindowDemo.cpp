// The status window, the tray menu and the caret panels on the real display, with the
// program's state on the fake desktop. Two uses:
//   mirelo_status_demo [--signed-out] [--no-ax] [--no-input]
//     shows the window, prints "ready", then answers commands on standard input, one line
//     each: "grant-ax", "grant-input", "usage JSON" (the backend's next answer, then a
//     reload), "message 0|1 TEXT"; each prints "ok HEIGHT". Pressed buttons print
//     "pressed NAME".
//   mirelo_status_demo --screens DIR
//     writes screenshots of each scene to DIR.
#include <gtk/gtk.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "account/Keychain.h"
#include "app/AppDelegate.h"
#include "fake/FakeDesktop.h"
#include "fake/RecordingKnowledgeBase.h"
#include "feedback/Assets.h"
#include "feedback/Palette.h"
#include "feedback/StatusWindow.h"
#include "platform/linux/GtkFormWindow.h"
#include "platform/linux/GtkUi.h"
#include "platform/linux/IndicatorStatusItem.h"

namespace {

void drain() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

struct Demo {
  fake::FakeDesktop desk;
  linuxport::GtkUi gtkUi;
  linuxport::GtkFormWindow* window = nullptr;
  std::shared_ptr<StatusWindow> status;
  std::string usageBody = R"({"spentKrw":4250,"capKrw":10000,"plan":"free"})";

  Demo(bool signedIn, bool ax, bool input) {
    if (signedIn) Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    desk.accessibility.trusted = ax;
    desk.keyboard.inputMonitoring = input;
    desk.http.handler = [this](const platform::HttpRequest&) {
      return platform::HttpResponse{200, {}, usageBody};
    };
    status = std::make_shared<StatusWindow>(desk.platform(), [this] {
      auto w = std::make_unique<linuxport::GtkFormWindow>("Mirelo", StatusWindow::kWidth,
                                                          Palette::cream);
      window = w.get();
      return w;
    });
    // The build tree's share/mirelo, two levels above this tool.
    auto exe = std::filesystem::read_symlink("/proc/self/exe");
    status->appIcon = Assets::appIcon(exe.parent_path() / "../../share/mirelo");
    const std::pair<std::function<void()> StatusWindow::*, const char*> buttons[] = {
        {&StatusWindow::onSignIn, "signIn"},
        {&StatusWindow::onSignOut, "signOut"},
        {&StatusWindow::onOpenDashboard, "openDashboard"},
        {&StatusWindow::onOpenInputMonitoring, "openInputMonitoring"},
        {&StatusWindow::onOpenAccessibility, "openAccessibility"},
        {&StatusWindow::onShowDiagnostics, "showDiagnostics"},
        {&StatusWindow::onRelaunch, "relaunch"}};
    for (const auto& [callback, name] : buttons)
      (*status).*callback = [name = std::string(name)] { say("pressed " + name); };
    status->show();
    settle();
  }
  // Lets the fake clock's timers and the usage task run.
  void settle() {
    for (int i = 0; i < 20; ++i) {
      desk.clock.runPending();
      drain();
    }
  }
  void command(const std::string& line) {
    if (line == "grant-ax") desk.accessibility.trusted = true;
    if (line == "grant-input") desk.keyboard.inputMonitoring = true;
    if (line.rfind("usage ", 0) == 0) {
      usageBody = line.substr(6);
      status->loadUsage();
    }
    if (line.rfind("message ", 0) == 0) status->setMessage(line.substr(10), line[8] == '1');
    desk.clock.advance(StatusWindow::kRefreshSeconds);
    settle();
  }
  int height() const { return int(status->contentHeight()); }
};

void pump(int ms) {
  for (gint64 end = g_get_monotonic_time() + ms * 1000; g_get_monotonic_time() < end;) {
    drain();
    g_usleep(5000);
  }
}

// Writes the screen area r (root coordinates) to path once the display has caught up.
void shoot(GdkRectangle r, const std::string& path) {
  pump(400);
  GdkPixbuf* shot =
      gdk_pixbuf_get_from_window(gdk_get_default_root_window(), r.x, r.y, r.width, r.height);
  if (!shot) return;
  gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr);
  g_object_unref(shot);
  say("screens: " + path);
}

// A window's frame with a margin around it.
GdkRectangle around(GtkWidget* window) {
  pump(300);
  GdkRectangle r{};
  gdk_window_get_frame_extents(gtk_widget_get_window(window), &r);
  return {r.x - 16, r.y - 16, r.width + 32, r.height + 32};
}

// No tray here to open the menu from, and a menu pops up only under a pointer grab: its rows,
// the very items exported, go into a vertical menu bar in a window of their own.
void shootTrayMenu(Demo& demo, const std::string& path) {
  auto app = std::make_shared<AppDelegate>(
      demo.desk.platform(), fake::RecordingKnowledgeBase::factory(
                                std::make_shared<fake::RecordingKnowledgeBase::Calls>()));
  linuxport::IndicatorStatusItem item("", "mirelo-tray-symbolic", "mirelo-tray-dimmed-symbolic");
  app->setupStatusItem(item);
  GtkWidget* top = gtk_window_new(GTK_WINDOW_POPUP);
  GtkWidget* bar = gtk_menu_bar_new();
  gtk_menu_bar_set_pack_direction(GTK_MENU_BAR(bar), GTK_PACK_DIRECTION_TTB);
  GList* rows = gtk_container_get_children(GTK_CONTAINER(item.menuWidget()));
  for (GList* l = rows; l; l = l->next) {
    GtkWidget* row = GTK_WIDGET(g_object_ref(l->data));
    gtk_container_remove(GTK_CONTAINER(item.menuWidget()), row);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), row);
    g_object_unref(row);
  }
  g_list_free(rows);
  gtk_container_add(GTK_CONTAINER(top), bar);
  GdkRectangle under = around(demo.window->widget());
  gtk_window_move(GTK_WINDOW(top), under.x + 136, under.y + 46);
  gtk_widget_show_all(top);
  int tallest = 0;
  gtk_widget_get_preferred_height(bar, nullptr, &tallest);
  gtk_window_resize(GTK_WINDOW(top), 300, tallest + 24);
  shoot(around(top), path);
  gtk_widget_destroy(top);
}

int screens(const std::string& dir) {
  {
    Demo demo(false, false, false);
    demo.status->setMessage("메뉴바의 Mirelo 에서 구글로 로그인할 수 있습니다.", false);
    shoot(around(demo.window->widget()), dir + "/status-signed-out.png");
  }
  {
    Demo demo(true, true, true);
    demo.status->setMessage("답글을 만들지 못했어요", true);
    shoot(around(demo.window->widget()), dir + "/status-signed-in.png");
    shootTrayMenu(demo, dir + "/tray-menu.png");
    demo.status->canUndo = [] { return true; };
    demo.status->refreshMarks();
    demo.status->loadUsage();
    demo.settle();
    demo.status->setMessage("글이 이미 바뀌어서 되돌리지 않았어요", false);
    shoot(around(demo.window->widget()), dir + "/status-undo.png");
  }
  // The caret panel and a flash, on the real panels.
  ManualClock clock;
  linuxport::GtkUi ui;
  CaretPanel caret(ui, clock), hud(ui, clock);
  caret.present("zel.", {300, 700}, std::string("zel..."));
  hud.flash("이제 입력창에서 오른쪽 Alt 를 눌러보세요.", 3.0);
  auto mouse = ui.mouseLocation();
  auto screen = ui.primaryScreenFrame().value_or(platform::Rect{0, 0, 1280, 1024});
  shoot({250, int(screen.height) - 760, 200, 100}, dir + "/caret-panel.png");
  // The flash sits above and to the right of the pointer.
  shoot({int(mouse.x) - 20, int(screen.height - mouse.y) - 60, 460, 80}, dir + "/flash.png");
  return 0;
}

gboolean onInput(GIOChannel* in, GIOCondition, gpointer data) {
  gchar* raw = nullptr;
  if (g_io_channel_read_line(in, &raw, nullptr, nullptr, nullptr) != G_IO_STATUS_NORMAL) {
    *static_cast<Demo**>(data) = nullptr;
    return G_SOURCE_REMOVE;
  }
  std::string line(raw);
  g_free(raw);
  while (!line.empty() && line.back() == '\n')
    line.pop_back();
  Demo& demo = **static_cast<Demo**>(data);
  demo.command(line);
  say("ok " + std::to_string(demo.height()));
  return G_SOURCE_CONTINUE;
}

bool has(int argc, char** argv, const std::string& flag) {
  for (int i = 1; i < argc; ++i)
    if (flag == argv[i]) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) return 1;
  if (argc == 3 && std::string(argv[1]) == "--screens") return screens(argv[2]);
  Demo demo(!has(argc, argv, "--signed-out"), !has(argc, argv, "--no-ax"),
            !has(argc, argv, "--no-input"));
  say("ready " + std::to_string(demo.height()));
  Demo* live = &demo;
  g_io_add_watch(g_io_channel_unix_new(0), GIOCondition(G_IO_IN | G_IO_HUP), onInput, &live);
  while (live)
    g_main_context_iteration(nullptr, TRUE);
  return 0;
}

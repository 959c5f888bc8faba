// The status window, the tray menu and the caret panels on the real display, with the
// program's state on the fake desktop. Two uses:
//   mirelo_status_demo [--signed-out] [--no-ax] [--no-input]
//     shows the window, prints "ready", then answers commands on standard input, one line
//     each: "grant-ax", "grant-input", "usage JSON" (the backend's next answer, then a
//     reload), "message 0|1 TEXT", "height"; pressed buttons print "pressed NAME".
//   mirelo_status_demo --screens DIR
//     writes screenshots of each scene to DIR.
#include <gtk/gtk.h>

#include <cstdio>
#include <iostream>
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
#include "platform/linux/LinuxDefaults.h"

namespace {

struct Demo {
  fake::FakeDesktop desk;
  linuxport::GtkUi gtkUi;
  linuxport::GtkFormWindow* window = nullptr;
  std::unique_ptr<StatusWindow> status;
  std::string usageBody = R"({"spentKrw":4250,"capKrw":10000,"plan":"free"})";

  explicit Demo(bool signedIn) {
    if (signedIn) Keychain::set(desk.secrets, "tok", Keychain::kSessionToken);
    desk.http.handler = [this](const platform::HttpRequest&) {
      return platform::HttpResponse{200, {}, usageBody};
    };
    status = std::make_unique<StatusWindow>(desk.platform(), [this] {
      auto w = std::make_unique<linuxport::GtkFormWindow>("Mirelo", StatusWindow::kWidth,
                                                          Palette::cream);
      window = w.get();
      return w;
    });
    status->appIcon = Assets::appIcon(linuxport::LinuxDefaults::standardInfoFile().parent_path());
    auto say = [](const char* what) {
      return [what] {
        std::printf("pressed %s\n", what);
        std::fflush(stdout);
      };
    };
    status->onSignIn = say("signIn");
    status->onSignOut = say("signOut");
    status->onOpenDashboard = say("openDashboard");
    status->onOpenInputMonitoring = say("openInputMonitoring");
    status->onOpenAccessibility = say("openAccessibility");
    status->onShowDiagnostics = say("showDiagnostics");
    status->onRelaunch = say("relaunch");
  }
  // Lets the fake clock's timers and the usage task run.
  void settle() {
    for (int i = 0; i < 20; ++i) {
      desk.clock.runPending();
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
    }
  }
  void tick() {
    desk.clock.advance(StatusWindow::kRefreshSeconds);
    settle();
  }
};

void pump(int ms) {
  gint64 end = g_get_monotonic_time() + ms * 1000;
  while (g_get_monotonic_time() < end) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    g_usleep(5000);
  }
}

// Writes the screen area around rect (root coordinates) to path.
void shoot(GdkRectangle r, const std::string& path) {
  pump(400);
  GdkWindow* root = gdk_get_default_root_window();
  GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, r.x, r.y, r.width, r.height);
  if (shot) {
    gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(shot);
    std::printf("screens: %s\n", path.c_str());
  }
}

GdkRectangle frameOf(GtkWidget* window) {
  GdkRectangle r{};
  gtk_window_get_position(GTK_WINDOW(window), &r.x, &r.y);
  gtk_window_get_size(GTK_WINDOW(window), &r.width, &r.height);
  r.x -= 16, r.y -= 16, r.width += 32, r.height += 32;
  return r;
}

int screens(const std::string& dir) {
  {
    Demo demo(false);
    demo.desk.accessibility.trusted = false;
    demo.desk.keyboard.inputMonitoring = false;
    demo.status->show();
    demo.settle();
    demo.status->setMessage("메뉴바의 Mirelo 에서 구글로 로그인할 수 있습니다.", false);
    shoot(frameOf(demo.window->widget()), dir + "/status-signed-out.png");
  }
  {
    Demo demo(true);
    demo.status->show();
    demo.settle();
    demo.status->setMessage("답글을 만들지 못했어요", true);
    shoot(frameOf(demo.window->widget()), dir + "/status-signed-in.png");

    // The tray menu, opened over the window.
    auto kb = std::make_shared<fake::RecordingKnowledgeBase::Calls>();
    auto app = std::make_shared<AppDelegate>(demo.desk.platform(),
                                             fake::RecordingKnowledgeBase::factory(kb));
    linuxport::IndicatorStatusItem item("", "mirelo-tray-symbolic", "mirelo-tray-dimmed-symbolic");
    app->setupStatusItem(item);
    // No tray here to open it from, and a menu pops up only under a pointer grab: its rows,
    // the very items exported, go into a vertical menu bar in a window of their own.
    GtkWidget* menu = item.menuWidget();
    GtkWidget* top = gtk_window_new(GTK_WINDOW_POPUP);
    GtkWidget* bar = gtk_menu_bar_new();
    gtk_menu_bar_set_pack_direction(GTK_MENU_BAR(bar), GTK_PACK_DIRECTION_TTB);
    GList* rows = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* l = rows; l; l = l->next) {
      GtkWidget* row = GTK_WIDGET(l->data);
      g_object_ref(row);
      gtk_container_remove(GTK_CONTAINER(menu), row);
      gtk_menu_shell_append(GTK_MENU_SHELL(bar), row);
      g_object_unref(row);
    }
    g_list_free(rows);
    gtk_container_add(GTK_CONTAINER(top), bar);
    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(demo.window->widget()), &x, &y);
    gtk_window_move(GTK_WINDOW(top), x + 120, y + 30);
    gtk_widget_show_all(top);
    int tallest = 0;
    gtk_widget_get_preferred_height(bar, nullptr, &tallest);
    gtk_window_resize(GTK_WINDOW(top), 300, tallest + 24);
    pump(300);
    GdkRectangle r{};
    gdk_window_get_frame_extents(gtk_widget_get_window(top), &r);
    r.x -= 16, r.y -= 16, r.width += 32, r.height += 32;
    shoot(r, dir + "/tray-menu.png");
    gtk_widget_destroy(top);
  }
  {
    // The caret panel and a flash, on the real panels.
    ManualClock clock;
    linuxport::GtkUi ui;
    CaretPanel caret(ui, clock), hud(ui, clock);
    caret.present("zel.", {300, 700}, std::string("zel..."));
    hud.flash("이제 입력창에서 오른쪽 Alt 를 눌러보세요.", 3.0);
    auto mouse = ui.mouseLocation();
    auto screen = ui.primaryScreenFrame().value_or(platform::Rect{0, 0, 1280, 1024});
    shoot({250, int(screen.height - 760), 200, 100}, dir + "/caret-panel.png");
    // The flash sits above and to the right of the pointer.
    shoot({int(mouse.x) - 20, int(screen.height - mouse.y) - 60, 460, 80}, dir + "/flash.png");
  }
  return 0;
}

int interactive(bool signedIn, bool ax, bool input) {
  Demo demo(signedIn);
  demo.desk.accessibility.trusted = ax;
  demo.desk.keyboard.inputMonitoring = input;
  demo.status->show();
  demo.settle();
  std::printf("ready %d\n", int(demo.status->contentHeight()));
  std::fflush(stdout);
  GIOChannel* in = g_io_channel_unix_new(0);
  bool done = false;
  struct Ctx {
    Demo* demo;
    bool* done;
  } ctx{&demo, &done};
  g_io_add_watch(
      in, GIOCondition(G_IO_IN | G_IO_HUP),
      [](GIOChannel* ch, GIOCondition, gpointer data) -> gboolean {
        auto* c = static_cast<Ctx*>(data);
        gchar* raw = nullptr;
        if (g_io_channel_read_line(ch, &raw, nullptr, nullptr, nullptr) != G_IO_STATUS_NORMAL) {
          *c->done = true;
          return G_SOURCE_REMOVE;
        }
        std::string line(raw);
        g_free(raw);
        while (!line.empty() && line.back() == '\n')
          line.pop_back();
        Demo& d = *c->demo;
        if (line == "grant-ax") d.desk.accessibility.trusted = true;
        if (line == "grant-input") d.desk.keyboard.inputMonitoring = true;
        if (line.rfind("usage ", 0) == 0) {
          d.usageBody = line.substr(6);
          d.status->loadUsage();
        }
        if (line.rfind("message ", 0) == 0) d.status->setMessage(line.substr(10), line[8] == '1');
        d.tick();
        std::printf("ok %d\n", int(d.status->contentHeight()));
        std::fflush(stdout);
        return G_SOURCE_CONTINUE;
      },
      &ctx);
  while (!done)
    g_main_context_iteration(nullptr, TRUE);
  return 0;
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
  return interactive(!has(argc, argv, "--signed-out"), !has(argc, argv, "--no-ax"),
                     !has(argc, argv, "--no-input"));
}

// The application's dashboard on the real display with the stand-in web application, the
// program's state on the fake desktop:
//   mirelo_dashboard_demo --screens DIR
// writes a screenshot of the signed-in page with notes, and one of the window opened again
// signed out after its page was released (a blank page), to DIR. Runs inside
// tests/desktop/session.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "RecordingWebViews.h"
#include "StandInBackend.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "fake/FakeDesktop.h"
#include "kb/DashboardWindow.h"
#include "kb/TarnBridge.h"
#include "kb/TarnStore.h"
#include "platform/linux/GtkUi.h"
#include "platform/linux/WebKitWebViews.h"

namespace {

// Runs the main loop until done() holds or ms have passed; returns done().
template <typename P>
bool pumpUntil(P done, int ms) {
  for (gint64 end = g_get_monotonic_time() + ms * 1000; !done();) {
    if (g_get_monotonic_time() > end) return false;
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    g_usleep(5000);
  }
  return true;
}

void pump(int ms) {
  pumpUntil([] { return false; }, ms);
}

// The value of a script run in the page, or null when it failed.
Json evaluate(platform::WebView& view, const std::string& script) {
  std::optional<Json> value;
  view.callAsync(script, Json::object(),
                 [&](platform::ScriptResult r) { value = r.value ? *r.value : Json(nullptr); });
  pumpUntil([&] { return value.has_value(); }, 10000);
  return value.value_or(nullptr);
}

// Whether the picture holds more than one colour inside its margin.
bool drawn(GdkPixbuf* shot) {
  const guchar* pixels = gdk_pixbuf_get_pixels(shot);
  int stride = gdk_pixbuf_get_rowstride(shot), channels = gdk_pixbuf_get_n_channels(shot);
  const guchar* first = pixels + 20 * stride + 20 * channels;
  for (int y = 20; y < gdk_pixbuf_get_height(shot) - 20; y += 3)
    for (int x = 20; x < gdk_pixbuf_get_width(shot) - 20; x += 3)
      if (std::memcmp(pixels + y * stride + x * channels, first, 3) != 0) return true;
  return false;
}

bool same(GdkPixbuf* a, GdkPixbuf* b) {
  if (!a || !b || gdk_pixbuf_get_byte_length(a) != gdk_pixbuf_get_byte_length(b)) return false;
  return std::memcmp(gdk_pixbuf_read_pixels(a), gdk_pixbuf_read_pixels(b),
                     gdk_pixbuf_get_byte_length(a)) == 0;
}

// The window with a margin around it, from the screen. The page's frames may take a few
// seconds to reach the screen: the picture is taken once it has held still for half a second
// (and, for a page with content, shows some).
void shoot(GtkWindow* window, const std::string& path, bool content) {
  GdkPixbuf* shot = nullptr;
  auto take = [&] {
    GdkRectangle r{};
    gdk_window_get_frame_extents(gtk_widget_get_window(GTK_WIDGET(window)), &r);
    GdkPixbuf* previous = shot;
    shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), r.x - 16, r.y - 16,
                                      r.width + 32, r.height + 32);
    const bool still = same(previous, shot);
    if (previous) g_object_unref(previous);
    if (!still) pump(500);
    return still && (!content || drawn(shot));
  };
  pump(500);
  pumpUntil(take, 20000);
  if (!shot) return;
  gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr);
  g_object_unref(shot);
  std::printf("screens: %s\n", path.c_str());
}

const char* kNotes = R"JS(
for (const [title, text] of [
    ['주간 회의', '다음 회의는 화요일 오후 3시, 3층 회의실에서 한다'],
    ['김민수', '김민수 님은 회의 자료를 금요일까지 검토한다'],
    ['말투', '고객에게는 존댓말로, 짧고 분명하게 답한다']])
  await MireloKbLocalApi.handle({method: 'POST', path: '/kb/ingest', body: {text, title}});
show();
return MireloStandInKb.notes().length;)JS";

int screens(const std::string& dir) {
  // The backend beside this tool in the build tree.
  auto build = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
  setenv("MIRELO_BACKEND", (build / "backend/mirelo-backend").c_str(), 0);
  StandInBackend backend;
  // The program's state on the fake desktop; the window, its page and the dialogs are real.
  fake::FakeDesktop desk;
  linuxport::WebKitWebViews real;
  RecordingWebViews views(&real);
  linuxport::GtkUi ui;
  platform::Platform p{
      desk.clock,    desk.accessibility, desk.keyboard, desk.pasteboard, desk.workspace,
      desk.defaults, desk.secrets,       desk.notifier, desk.http,       ui,
      views,         desk.updater};
  desk.defaults.set(Settings::kBackendURL, backend.url());
  desk.defaults.set(Settings::kTriggerMode, Json("double"));
  Keychain::set(desk.secrets, "screens", Keychain::kSessionToken);
  TarnStore::clear();
  TarnBridge bridge(desk.defaults);
  DashboardWindow dashboard(p, bridge);
  bridge.isDashboardActive = [&] { return dashboard.isEngineActive(); };
  dashboard.show();
  if (!views.window) return 1;
  GtkWindow* window = views.window->gtkWindow();
  platform::WebView& page = views.window->view();
  auto status = [&] {
    return evaluate(page, "return document.getElementById('status')?.textContent;");
  };
  if (!pumpUntil([&] { return status() == "메모가 없습니다"; }, 20000)) {
    std::fprintf(stderr, "screens: the dashboard page did not load\n");
    return 1;
  }
  evaluate(page, kNotes);
  pumpUntil([&] { return status() == "메모 3개"; }, 10000);
  shoot(window, dir + "/dashboard-signed-in.png", true);

  // Closed, released once the page is idle, then opened again signed out: a blank page.
  gtk_window_close(window);
  pumpUntil([&] { return !gtk_widget_get_visible(GTK_WIDGET(window)); }, 5000);
  desk.clock.advance(DashboardWindow::kCheckSeconds);
  pumpUntil([&] { return !dashboard.isEngineActive(); }, 10000);
  Keychain::remove(desk.secrets, Keychain::kSessionToken);
  dashboard.show();
  shoot(window, dir + "/dashboard-released.png", false);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) return 1;
  if (argc == 3 && std::string(argv[1]) == "--screens") return screens(argv[2]);
  std::fprintf(stderr, "usage: mirelo_dashboard_demo --screens DIR\n");
  return 2;
}

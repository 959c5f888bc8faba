// The dashboard on real WebKitGTK with the stand-in web application: downloads saved through
// the real save dialog, a file input served by the real open dialog, new windows sent to the
// browser without any window appearing, the settings closed to frames, and the storage handed
// back to the engine once the closed page is idle.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "DesktopSession.h"
#include "RecordingWebViews.h"
#include "StandInBackend.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/AppDelegate.h"
#include "base/Log.h"
#include "fake/FakeFormWindow.h"
#include "fake/FakeStatusItem.h"
#include "kb/DashboardWindow.h"
#include "kb/HeadlessEngine.h"
#include "kb/TarnBridge.h"
#include "kb/TarnStore.h"
#include "platform/linux/WebKitWindow.h"
// Last: Xlib's macros would clash with the headers above.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace {

namespace fs = std::filesystem;
using desktoptest::FixtureApp;
using desktoptest::pumpFor;
using desktoptest::pumpUntil;
using desktoptest::runOnLoop;

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs xdotool with args and waits for it, the main loop running meanwhile (the dialogs it
// types into belong to this process).
bool xdotool(const std::vector<std::string>& args) {
  std::vector<gchar*> argv{const_cast<gchar*>("xdotool")};
  for (const auto& a : args)
    argv.push_back(const_cast<gchar*>(a.c_str()));
  argv.push_back(nullptr);
  GPid pid = 0;
  auto flags = GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD);
  if (!g_spawn_async(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, &pid, nullptr))
    return false;
  int status = -1;
  g_child_watch_add(
      pid, [](GPid, gint s, gpointer data) { *static_cast<int*>(data) = s; }, &status);
  bool ended = pumpUntil([&] { return status != -1; }, 10000);
  return ended && g_spawn_check_wait_status(status, nullptr);
}

// The mapped top-level windows of the display that a window manager would manage.
int managedWindows() {
  Display* x = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0, shown = 0;
  if (!XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count)) return -1;
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable &&
        !a.override_redirect)
      ++shown;
  }
  if (children) XFree(children);
  return static_cast<int>(shown);
}

// The file chooser dialog GTK shows for a GtkFileChooserNative without a portal.
GtkWidget* fileDialog() {
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* found = nullptr;
  for (GList* w = windows; w && !found; w = w->next)
    if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)))
      found = GTK_WIDGET(w->data);
  g_list_free(windows);
  return found;
}

// Focuses the open dialog and types into it as the user would: text (ASCII), then key.
bool typeIntoDialog(GtkWidget* dialog, const std::string& text, const std::string& key) {
  pumpUntil([&] { return gtk_widget_get_mapped(dialog); }, 5000);
  std::string xid = std::to_string(GDK_WINDOW_XID(gtk_widget_get_window(dialog)));
  if (!xdotool({"windowfocus", "--sync", xid})) return false;
  if (!text.empty() && !xdotool({"key", "--clearmodifiers", "ctrl+a"})) return false;
  if (!text.empty() && !xdotool({"type", "--delay", "20", text})) return false;
  pumpFor(200);  // lets the name entry's completion settle before the key
  return xdotool({"key", key});
}

// The value of a script in the page, or its failure message.
Json evaluateIn(platform::WebView& view, const std::string& script) {
  return runOnLoop([](platform::WebView& v, std::string s) -> Task<Json> {
    Completion<Json> done;
    v.callAsync(s, Json::object(), [done](platform::ScriptResult r) mutable {
      done.resolve(r.value ? *r.value : Json("failed: " + r.failure.value_or("")));
    });
    co_return co_await done;
  }(view, script));
}

// An element's text in the page ("" when it has none).
std::string textIn(platform::WebView& view, const std::string& id) {
  Json t = evaluateIn(
      view, "const e = document.getElementById('" + id + "'); return e ? e.textContent : null;");
  return t.is_string() ? t.get<std::string>() : "";
}

// The application's dashboard on the real desktop, its release checks on a manual clock.
class Dashboard : public desktoptest::DesktopSession {
 protected:
  void SetUp() override {
    DesktopSession::SetUp();
    if (HasFatalFailure()) return;
    TarnStore::clear();
    root = std::getenv("MIRELO_SESSION_ROOT");
    downloads = fs::path(g_get_home_dir()) / "Downloads";
    fs::create_directories(downloads);
    std::ofstream(fs::path(g_get_user_config_dir()) / "user-dirs.dirs")
        << "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n";
    g_reload_user_special_dirs_cache();
    signInTo(backend.url());
    desk->defaults.remove(Settings::kTriggerMode);
    views.real = &desk->webViews;
    bridge = std::make_unique<TarnBridge>(desk->defaults);
    bridge->isDashboardActive = [this] { return dashboard && dashboard->isEngineActive(); };
    dashboard = std::make_unique<DashboardWindow>(platform(), *bridge);
    dashboard->onTriggerSettingsChanged = [this] { ++settingsChanged; };
    dashboard->onEngineTornDown = [this] {
      ++tornDown;
      if (engine) engine->flushQueue();
    };
    dashboard->show();
    window = views.window;
    ASSERT_TRUE(window);
    ASSERT_TRUE(pageShown());
  }
  void TearDown() override {
    engine.reset();
    dashboard.reset();
    unsetenv("BROWSER");
    DesktopSession::TearDown();
  }
  platform::Platform platform() {
    auto& d = *desk;
    return {clock,     d.accessibility, d.keyboard, d.pasteboard, d.workspace, d.defaults,
            d.secrets, d.notifier,      d.http,     d.ui,         views,       d.updater};
  }

  // Closes the window as its close button does (GTK delivers that from the main loop).
  bool closeWindow() {
    gtk_window_close(window->gtkWindow());
    return pumpUntil([&] { return !window->isVisible(); }, 5000);
  }
  bool pageShown() {
    return pumpUntil([&] { return text("status") == "메모가 없습니다"; }, 20000);
  }
  Json evaluate(const std::string& script) { return evaluateIn(window->view(), script); }
  std::string text(const std::string& id) { return textIn(window->view(), id); }
  void click(const std::string& id) { evaluate("document.getElementById('" + id + "').click();"); }
  void addNote(const std::string& title, const std::string& body) {
    evaluate("await MireloKbLocalApi.handle({method: 'POST', path: '/kb/ingest', body: {text: " +
             Json(body).dump() + ", title: " + Json(title).dump() + "}}); show();");
  }
  GtkWidget* waitForDialog() {
    GtkWidget* dialog = nullptr;
    pumpUntil([&] { return (dialog = fileDialog()) != nullptr; }, 10000);
    return dialog;
  }
  bool logged(Log::Level level, std::string_view start, int timeoutMs = 10000) {
    return pumpUntil(
        [&] {
          for (const auto& r : capture.records())
            if (r.level == level && r.message.rfind(start, 0) == 0) return true;
          return false;
        },
        timeoutMs);
  }

  Log::Capture capture;
  ManualClock clock;
  std::string root;
  fs::path downloads;
  StandInBackend backend;
  RecordingWebViews views;
  std::unique_ptr<TarnBridge> bridge;
  std::unique_ptr<HeadlessEngine> engine;
  std::unique_ptr<DashboardWindow> dashboard;
  linuxport::WebKitWindow* window = nullptr;
  int settingsChanged = 0, tornDown = 0;
};

TEST_F(Dashboard, WindowIsCentredKeepsItsMinimumAndHidesWhenClosed) {
  GtkWindow* w = window->gtkWindow();
  EXPECT_STREQ(gtk_window_get_title(w), "Mirelo");
  ASSERT_TRUE(pumpUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(w)); }, 5000));
  int width = 0, height = 0;
  gtk_window_get_size(w, &width, &height);
  EXPECT_EQ(width, 1100);
  EXPECT_EQ(height, 760);
  int x = 0, y = 0;  // centred on the 1280×1024 screen (no window manager adds a frame)
  gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(w)), &x, &y);
  EXPECT_EQ(x, 90);
  EXPECT_EQ(y, 132);
  gtk_window_resize(w, 300, 200);  // no smaller than the style's minimum
  EXPECT_TRUE(pumpUntil([&] {
    gtk_window_get_size(w, &width, &height);
    return width == 720 && height == 520;
  })) << width
      << "×" << height;

  ASSERT_TRUE(closeWindow());
  EXPECT_TRUE(dashboard->isEngineActive()) << "released only later";
  dashboard->show();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(views.window, window) << "the same window comes back";
}

TEST_F(Dashboard, ExportIsSavedWhereTheDialogSaidAndACancelledOneLeavesNothing) {
  addNote("회의", "김민수 님은 금요일까지 자료를 검토한다");
  ASSERT_EQ(text("status"), "메모 1개");

  click("export");
  GtkWidget* dialog = waitForDialog();
  ASSERT_TRUE(dialog) << "no save dialog";
  EXPECT_EQ(dashboard->activeDownloads(), 1);
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), window->gtkWindow());
  gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
  EXPECT_EQ(std::string(folder ? folder : ""), downloads.string());
  g_free(folder);
  gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
  EXPECT_STREQ(name, "mirelo-notes.md");
  g_free(name);
  ASSERT_TRUE(typeIntoDialog(dialog, "chosen-name.md", "Return"));
  ASSERT_TRUE(pumpUntil([&] { return dashboard->activeDownloads() == 0; }, 10000));
  std::string saved = readFile(downloads / "chosen-name.md");
  EXPECT_NE(saved.find("## 회의"), std::string::npos) << saved;
  EXPECT_NE(saved.find("금요일까지"), std::string::npos) << saved;

  click("export");
  dialog = waitForDialog();
  ASSERT_TRUE(dialog) << "no second save dialog";
  ASSERT_TRUE(typeIntoDialog(dialog, "", "Escape"));
  EXPECT_TRUE(logged(Log::Level::error, "다운로드 실패: "));
  EXPECT_EQ(dashboard->activeDownloads(), 0);
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(downloads))
    files.push_back(e.path().filename());
  EXPECT_EQ(files, std::vector<std::string>{"chosen-name.md"});
}

TEST_F(Dashboard, AnImportedFileReachesThePageAndTheStorage) {
  fs::path note = fs::path(root) / "meeting.md";
  std::ofstream(note) << "# 주간 회의\n\n다음 회의는 화요일 오후 3시\n";

  click("import");
  GtkWidget* dialog = waitForDialog();
  ASSERT_TRUE(dialog) << "no open dialog";
  auto* chooser = GTK_FILE_CHOOSER(dialog);
  EXPECT_EQ(gtk_file_chooser_get_action(chooser), GTK_FILE_CHOOSER_ACTION_OPEN);
  EXPECT_FALSE(gtk_file_chooser_get_select_multiple(chooser));
  GtkFileFilter* filter = gtk_file_chooser_get_filter(chooser);
  ASSERT_TRUE(filter);
  EXPECT_STREQ(gtk_file_filter_get_name(filter), "지원하는 파일");
  auto offered = [&](const char* name, const char* type) {
    GtkFileFilterInfo info{
        GtkFileFilterFlags(GTK_FILE_FILTER_DISPLAY_NAME | GTK_FILE_FILTER_MIME_TYPE), nullptr,
        nullptr, name, type};
    return gtk_file_filter_filter(filter, &info);
  };
  EXPECT_TRUE(offered("회의.markdown", "application/octet-stream"));
  EXPECT_TRUE(offered("scan.pdf", "application/pdf"));
  EXPECT_FALSE(offered("setup.exe", "application/x-msdownload"));
  // Picked as a click in the list would pick it; the typed location entry's completion
  // makes keystrokes unreliable here.
  gtk_file_chooser_select_filename(chooser, note.c_str());
  ASSERT_TRUE(pumpUntil([&] {
    gchar* chosen = gtk_file_chooser_get_filename(chooser);
    bool picked = chosen && note == chosen;
    g_free(chosen);
    return picked;
  }));
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);

  ASSERT_TRUE(pumpUntil([&] { return text("status") == "메모 1개"; }, 10000)) << text("status");
  EXPECT_NE(text("notes").find("주간 회의"), std::string::npos) << text("notes");
  auto stored = TarnStore::read(TarnStore::tarnFile());
  ASSERT_TRUE(stored);
  EXPECT_NE(stored->find("화요일 오후 3시"), std::string::npos);
}

TEST_F(Dashboard, NewWindowsGoToTheBrowserAndNoWindowAppears) {
  fs::path opened = fs::path(root) / "browser.txt";
  fs::path script = fs::path(root) / "browser.sh";
  std::ofstream(script) << "#!/bin/sh\necho \"$1\" >> '" << opened.string() << "'\n";
  fs::permissions(script, fs::perms::owner_all);
  setenv("BROWSER", script.c_str(), 1);
  auto& view = static_cast<linuxport::WebKitView&>(window->view());
  pumpFor(300);
  const int before = managedWindows();
  auto lines = [&] {
    std::vector<std::string> out;
    std::istringstream in(readFile(opened));
    for (std::string line; std::getline(in, line);)
      out.push_back(line);
    return out;
  };

  click("help");
  ASSERT_TRUE(pumpUntil([&] { return lines().size() == 1; }, 10000));
  EXPECT_EQ(lines()[0], backend.url() + "/app/help.html");

  evaluate("window.popup = window.open('');");
  ASSERT_EQ(view.pendingPopups(), 1u);
  evaluate("window.popup.location = '" + backend.url() + "/app/help.html#later';");
  ASSERT_TRUE(pumpUntil([&] { return lines().size() == 2; }, 10000));
  EXPECT_EQ(lines()[1], backend.url() + "/app/help.html#later");
  EXPECT_EQ(view.pendingPopups(), 0u);

  evaluate("window.open('about:blank').close();");
  EXPECT_TRUE(pumpUntil([&] { return view.pendingPopups() == 0; }, 5000));
  pumpFor(500);
  EXPECT_EQ(managedWindows(), before);
  EXPECT_EQ(lines().size(), 2u) << "a closed empty window opens nothing";
}

const char* kSettingsFrame = R"(<!doctype html><meta charset="utf-8"><script>
mireloNative.post('mireloSettings', {type: 'set', values: {triggerMode: 'off'}})
  .then(() => 'answered', (e) => e.message).then((r) => parent.postMessage({frame: r}, '*'));
</script>)";

TEST_F(Dashboard, SettingsAreChangedByThePageButRefusedToAnIframe) {
  auto mode = [&] { return std::string(rawValue(Settings::triggerMode(desk->defaults))); };
  evaluate(
      "const m = document.getElementById('mode'); m.value = 'double';"
      "m.dispatchEvent(new Event('change'));");
  ASSERT_TRUE(pumpUntil([&] { return mode() == "double"; }, 5000));
  EXPECT_TRUE(pumpUntil([&] { return text("settingsStatus") == "저장했습니다"; }, 5000));
  EXPECT_EQ(settingsChanged, 1);

  Json refused = evaluate(
      "try { await mireloNative.post('mireloSettings', {type: 'set', values: {triggerMode: "
      "'Double'}}); return 'stored'; } catch (e) { return e.message; }");
  EXPECT_EQ(refused, "알 수 없는 트리거 방식입니다");

  std::string port = backend.url().substr(backend.url().rfind(':') + 1);
  backend.route("GET", "/app/settings-frame.html",
                {{"body", kSettingsFrame}, {"contentType", "text/html"}});
  evaluate(
      "window.frameResult = null; addEventListener('message', (e) => {"
      " if (e.data && e.data.frame) frameResult = e.data.frame; });"
      "const f = document.createElement('iframe');"
      "f.src = 'http://localhost:" +
      port + "/app/settings-frame.html'; document.body.appendChild(f);");
  Json result;
  ASSERT_TRUE(pumpUntil(
      [&] { return (result = evaluate("return window.frameResult;")).is_string(); }, 10000));
  EXPECT_EQ(result, "not-allowed");
  EXPECT_EQ(mode(), "double");
  EXPECT_EQ(settingsChanged, 1);
}

TEST_F(Dashboard, ReleasedOnceThePageIsIdleAndTheHeldIngestIsWrittenAfter) {
  engine = std::make_unique<HeadlessEngine>(platform(), *bridge);
  engine->ensureLoaded();
  ASSERT_TRUE(pumpUntil([&] { return engine->state() == HeadlessEngine::State::ready; }, 30000));
  auto released = [&] {
    return !dashboard->isEngineActive() && window->view().url() == "about:blank";
  };

  // Closed and shown again before the first check: the page stays.
  ASSERT_TRUE(closeWindow());
  clock.advance(1);
  dashboard->show();
  clock.advance(5);
  EXPECT_FALSE(pumpUntil(released, 500));
  EXPECT_EQ(tornDown, 0);
  ASSERT_TRUE(pageShown());

  // Work on the storage under way: the engine's ingest is held, and a close waits for it.
  evaluate("MireloStandInKb.working(() => new Promise((done) => { window.endWork = done; }));");
  engine->ingest("다음 회의는 화요일 오후 3시", "[답글] 회의", "", "ko");
  ASSERT_TRUE(logged(Log::Level::notice, "타르노 적재를 미뤄둔다"));
  ASSERT_TRUE(closeWindow());
  clock.advance(DashboardWindow::kCheckSeconds);
  EXPECT_FALSE(pumpUntil(released, 1000)) << "the busy page keeps the storage";

  evaluate("window.endWork();");
  clock.advance(DashboardWindow::kCheckSeconds);
  ASSERT_TRUE(pumpUntil(released, 5000));
  EXPECT_EQ(tornDown, 1);
  ASSERT_TRUE(logged(Log::Level::notice, "답글에서 배운 것을 타르노에 적었다"));
  auto stored = TarnStore::read(TarnStore::tarnFile());
  ASSERT_TRUE(stored);
  EXPECT_NE(stored->find("화요일 오후 3시"), std::string::npos);
}

// The application launched on the real desktop with the dashboard open: what the page sets
// reaches the running trigger.
class LaunchedDashboard : public desktoptest::DesktopSession {
 protected:
  void SetUp() override {
    DesktopSession::SetUp();
    if (HasFatalFailure()) return;
    TarnStore::clear();
    signInTo(backend.url());
    desk->defaults.remove(Settings::kTriggerMode);
    auto& d = *desk;
    views.real = &d.webViews;
    platform::Platform p{d.clock,    d.accessibility, d.keyboard, d.pasteboard, d.workspace,
                         d.defaults, d.secrets,       d.notifier, d.http,       d.ui,
                         views,      d.updater};
    bridge = std::make_unique<TarnBridge>(d.defaults);
    delegate = std::make_shared<AppDelegate>(
        p, [this, p] { return std::make_unique<HeadlessEngine>(p, *bridge); });
    delegate->launch({item,
                      *bridge,
                      [] { return std::make_unique<fake::FakeFormWindow>(); },
                      std::nullopt,
                      {"mirelo", "--dashboard"}});
  }
  void TearDown() override {
    delegate.reset();
    if (desk) desk->defaults.remove(Settings::kTriggerMode);
    DesktopSession::TearDown();
  }
  int recognisedTaps() {
    int n = 0;
    for (const auto& r : capture.records())
      n += r.message.find("탭 성립") != std::string::npos;
    return n;
  }
  int rewrites() {
    int n = 0;
    for (const auto& r : backend.requests())
      n += r.value("path", "") == "/rewrite";
    return n;
  }

  Log::Capture capture;
  StandInBackend backend;
  RecordingWebViews views;
  fake::FakeStatusItem item;
  std::unique_ptr<TarnBridge> bridge;
  std::shared_ptr<AppDelegate> delegate;
};

TEST_F(LaunchedDashboard, ThePageSwitchesTheRunningTriggerToDoubleTaps) {
  ASSERT_TRUE(
      pumpUntil([&] { return delegate->trigger() && delegate->trigger()->installed(); }, 10000));
  ASSERT_TRUE(views.window);
  auto& page = views.window->view();
  ASSERT_TRUE(pumpUntil([&] { return textIn(page, "status").rfind("메모", 0) == 0; }, 20000));
  evaluateIn(page,
             "const m = document.getElementById('mode'); m.value = 'double';"
             "m.dispatchEvent(new Event('change'));");
  ASSERT_TRUE(pumpUntil([&] { return textIn(page, "settingsStatus") == "저장했습니다"; }, 5000));

  const std::string draft = "내일 회의 자료 좀 봐줘";
  FixtureApp app({"--windows=editor", "--entry=" + draft});
  ASSERT_TRUE(app.ready());
  int activated = 0;
  int token = desk->workspace.addActivationObserver(
      [&](const platform::RunningApplication& a) { activated += a.pid == app.pid(); });
  ASSERT_TRUE(focusOn(app, "entry", "AXTextField"));
  pumpUntil([&] { return activated > 0; }, 1000);
  desk->workspace.removeObserver(token);
  app.select("entry", 0, 0);

  desk->keyboard.postTriggerTap();
  ASSERT_TRUE(pumpUntil([&] { return recognisedTaps() == 1; }, 5000));
  EXPECT_FALSE(pumpUntil([&] { return delegate->inFlight() || rewrites() > 0; }, 600))
      << "a lone tap does nothing in double mode";
  for (int tap : {2, 3}) {
    desk->keyboard.postTriggerTap();
    ASSERT_TRUE(pumpUntil([&] { return recognisedTaps() == tap; }, 5000));
  }
  ASSERT_TRUE(pumpUntil([&] { return app.text("entry") == "[stand-in rewrite] " + draft; }, 10000))
      << app.text("entry");
  ASSERT_TRUE(pumpUntil([&] { return !delegate->inFlight(); }));
  EXPECT_EQ(rewrites(), 1);
}

}  // namespace

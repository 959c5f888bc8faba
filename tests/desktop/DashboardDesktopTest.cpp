// The dashboard's window on real WebKitGTK with the stand-in web application: downloads saved
// through the real save dialog, a file input served by the real open dialog, new windows sent
// to the browser without any window appearing, and the settings handler closed to frames.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "DesktopSession.h"
#include "StandInBackend.h"
#include "account/Settings.h"
#include "feedback/Palette.h"
#include "kb/TarnBridge.h"
#include "kb/TarnStore.h"
#include "platform/linux/WebKitWindow.h"
// Last: Xlib's macros would clash with the headers above.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace {

namespace fs = std::filesystem;
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
    desk->defaults.set(Settings::kBackendURL, backend.url());
    bridge = std::make_unique<TarnBridge>(desk->defaults);
    openWindow();
  }
  void TearDown() override {
    window.reset();
    if (desk) desk->defaults.remove(Settings::kBackendURL);
    unsetenv("BROWSER");
    DesktopSession::TearDown();
  }

  // The dashboard as the application wires it, the trigger settings kept here.
  void openWindow() {
    window = desk->webViews.createWindow({"Mirelo", 1100, 760, 720, 520, Palette::cream});
    ASSERT_TRUE(window);
    auto& view = window->view();
    view.addReplyHandler("mireloTarn", [this](const platform::ScriptMessage& m,
                                              platform::ScriptReply r) { bridge->reply(m, r); });
    view.addReplyHandler("mireloSettings",
                         [this](const platform::ScriptMessage& m, platform::ScriptReply r) {
                           if (!m.mainFrame || !bridge->isDashboardOrigin(m.origin))
                             return r(std::nullopt, "not-allowed");
                           if (m.body.value("type", "") == "set")
                             trigger.update(m.body.value("values", Json::object()));
                           r(trigger, {});
                         });
    view.onDownload = [this](const std::string& name, auto answer) {
      suggested.push_back(name);
      platform::FileDialog d;
      d.parent = window.get();
      d.name = name;
      d.directory = downloads.string();
      desk->ui.chooseSavePath(d, answer);
    };
    view.onDownloadEnded = [this](std::optional<std::string> failure) {
      ended.push_back(failure.value_or("ok"));
    };
    view.onChooseFiles = [this](bool directories, bool multiple, auto answer) {
      platform::FileDialog d{window.get(),
                             "",
                             "",
                             directories,
                             multiple,
                             {"*.md", "*.markdown"},
                             {"text/plain", "application/pdf"}};
      desk->ui.chooseOpenPaths(d, answer);
    };
    view.onOpenWindow = [this](const std::string& url) { desk->workspace.open(url); };
    view.load(backend.url() + "/app/#s=desktop-test-token");
    window->present();
    ASSERT_TRUE(pumpUntil([&] { return text("status") == "메모가 없습니다"; }, 20000))
        << text("status");
  }

  Json evaluate(const std::string& script) {
    return runOnLoop([](platform::WebView& view, std::string s) -> Task<Json> {
      Completion<Json> done;
      view.callAsync(s, Json::object(), [done](platform::ScriptResult r) mutable {
        done.resolve(r.value ? *r.value : Json("failed: " + r.failure.value_or("")));
      });
      co_return co_await done;
    }(window->view(), script));
  }
  std::string text(const std::string& id) {
    Json t = evaluate("const e = document.getElementById('" + id +
                      "'); return e ? e.textContent : null;");
    return t.is_string() ? t.get<std::string>() : "";
  }
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

  std::string root;
  fs::path downloads;
  StandInBackend backend;
  std::unique_ptr<TarnBridge> bridge;
  std::unique_ptr<platform::WebWindow> window;
  Json trigger = {{"triggerMode", "single"}, {"triggerCode", "AltRight"}};
  std::vector<std::string> suggested, ended;
};

TEST_F(Dashboard, WindowHidesWhenClosedAndComesBackWithItsPage) {
  auto& gtk = dynamic_cast<linuxport::WebKitWindow&>(*window);
  GtkWindow* w = gtk.gtkWindow();
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

  int closed = 0;
  window->onClosed = [&] { ++closed; };
  gtk_window_close(w);
  ASSERT_TRUE(pumpUntil([&] { return !gtk.isVisible(); }, 5000));
  EXPECT_EQ(closed, 1);
  window->present();
  EXPECT_TRUE(gtk.isVisible());
  EXPECT_EQ(text("status"), "메모가 없습니다") << "the page stays loaded while hidden";
}

TEST_F(Dashboard, ExportIsSavedWhereTheDialogSaidAndACancelledOneLeavesNothing) {
  addNote("회의", "김민수 님은 금요일까지 자료를 검토한다");
  ASSERT_EQ(text("status"), "메모 1개");

  click("export");
  GtkWidget* dialog = waitForDialog();
  ASSERT_TRUE(dialog) << "no save dialog";
  ASSERT_EQ(suggested, std::vector<std::string>{"mirelo-notes.md"});
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)),
            dynamic_cast<linuxport::WebKitWindow&>(*window).gtkWindow());
  gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
  EXPECT_EQ(std::string(folder ? folder : ""), downloads.string());
  g_free(folder);
  gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
  EXPECT_STREQ(name, "mirelo-notes.md");
  g_free(name);
  ASSERT_TRUE(typeIntoDialog(dialog, "chosen-name.md", "Return"));
  ASSERT_TRUE(pumpUntil([&] { return ended.size() == 1; }, 10000));
  EXPECT_EQ(ended[0], "ok");
  std::string saved = readFile(downloads / "chosen-name.md");
  EXPECT_NE(saved.find("## 회의"), std::string::npos) << saved;
  EXPECT_NE(saved.find("금요일까지"), std::string::npos) << saved;

  click("export");
  dialog = waitForDialog();
  ASSERT_TRUE(dialog) << "no second save dialog";
  ASSERT_TRUE(typeIntoDialog(dialog, "", "Escape"));
  ASSERT_TRUE(pumpUntil([&] { return ended.size() == 2; }, 10000));
  EXPECT_NE(ended[1], "ok") << "a cancelled download ends with its failure";
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
  auto& view = dynamic_cast<linuxport::WebKitView&>(window->view());
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
  evaluate(
      "const m = document.getElementById('mode'); m.value = 'double';"
      "m.dispatchEvent(new Event('change'));");
  ASSERT_TRUE(pumpUntil([&] { return trigger["triggerMode"] == "double"; }, 5000));
  EXPECT_TRUE(pumpUntil([&] { return text("settingsStatus") == "저장했습니다"; }, 5000));

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
  EXPECT_EQ(trigger["triggerMode"], "double");
}

}  // namespace

#pragma once

// The real applications of the compatibility tests, started on the session's display with a
// private profile each, and driven the way a user drives them: windows focused with xdotool,
// text typed in by pasting from this process's clipboard, selections made with the keyboard.
// A launch is one program (Firefox, Thunderbird, LibreOffice Writer, gnome-text-editor, the Qt
// fixture, xterm); a target is one window of it holding the field under test.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Child.h"
#include "MailPages.h"

namespace desktoptest {

// The first line a short-lived program prints; the main loop runs while it works.
inline std::string firstLine(const std::vector<std::string>& args, int timeoutMs = 10000) {
  Child c;
  if (!c.start(args)) return "";
  auto line = c.read('\n', timeoutMs);
  c.stop(0, timeoutMs);
  return line.value_or("");
}

// Runs a short-lived program to its end.
inline void run(const std::vector<std::string>& args) {
  Child c;
  if (c.start(args)) c.stop(0, 10000);
}

// arg as one word for sh.
inline std::string quoted(const std::string& arg) {
  std::string q = "'";
  for (char c : arg)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// One program of the matrix: how it is started, and which file or profile it needs.
struct Launch {
  std::string binary;                          // skipped when it is missing
  std::vector<std::string> command;            // exec'ed by a shell; $HOME is the launch's dir
  std::vector<std::vector<std::string>> then;  // run to their end once its first window shows
  std::string firstWindow;                     // xdotool --name pattern of that window
};

// A running program: the shell that exec'ed it, and the processes behind its windows.
class RunningLaunch {
 public:
  RunningLaunch(const Launch& launch, const std::filesystem::path& dir) {
    std::string script = "cd \"$0\" && exec";
    for (const auto& arg : launch.command)
      script += " " + quoted(arg);
    script += " </dev/null >\"$0/output.log\" 2>&1";
    std::filesystem::create_directories(dir);
    if (!child_.start({"sh", "-c", script, dir.string()})) return;
    if (window(launch.firstWindow, 60000) == 0) return;
    for (const auto& command : launch.then)
      run(command);
    started_ = true;
  }
  ~RunningLaunch() {
    for (int pid : windowPids_)
      ::kill(pid, SIGTERM);
    child_.stop(SIGTERM, 10000);
  }

  bool started() const { return started_; }

  // The newest visible window whose title matches pattern, waited for (0: none in time).
  unsigned long window(const std::string& pattern, int timeoutMs = 30000) {
    unsigned long id = 0;
    pumpUntil(
        [&] {
          id = std::strtoul(
              firstLine(
                  {"sh", "-c", "xdotool search --onlyvisible --name \"$0\" | tail -n1", pattern})
                  .c_str(),
              nullptr, 10);
          return id != 0;
        },
        timeoutMs);
    if (id) {
      int pid = std::atoi(firstLine({"xdotool", "getwindowpid", std::to_string(id)}).c_str());
      if (pid > 0 && pid != child_.pid()) windowPids_.push_back(pid);
    }
    return id;
  }

 private:
  Child child_;
  std::vector<int> windowPids_;
  bool started_ = false;
};

// The window that holds the field under test.
struct TargetWindow {
  unsigned long id = 0;
  int pid = 0;

  // Raises it and gives it the input focus (no window manager runs in the session).
  void focus() const {
    run({"xdotool", "windowraise", std::to_string(id), "windowfocus", "--sync",
         std::to_string(id)});
  }
  std::string title() const { return firstLine({"xdotool", "getwindowname", std::to_string(id)}); }
};

// Keys as the user types them, to the focused window (no modifier is left down).
inline void keys(const std::vector<std::string>& names) {
  std::vector<std::string> args{"xdotool", "key", "--delay", "20"};
  args.insert(args.end(), names.begin(), names.end());
  run(args);
}

// Selects count characters after the caret with Shift+Right.
inline void selectRight(int count) {
  std::vector<std::string> args{"xdotool", "keydown", "Shift_L"};
  for (int i = 0; i < count; ++i)
    args.insert(args.end(), {"key", "Right"});
  args.insert(args.end(), {"keyup", "Shift_L"});
  run(args);
}

// The programs, each started once for the whole run and stopped at its end.
class DesktopApps {
 public:
  explicit DesktopApps(std::filesystem::path root)
      : root_(std::move(root)), launches_(launches(root_)) {}

  static std::map<std::string, Launch> launches(const std::filesystem::path& root);

  bool installed(const std::string& name) const {
    return ::access(launches_.at(name).binary.c_str(), X_OK) == 0;
  }

  // The running launch, started on first use; null when it is not installed or did not start.
  RunningLaunch* launch(const std::string& name) {
    auto& slot = running_[name];
    if (!slot) {
      if (!installed(name)) return nullptr;
      slot = std::make_unique<RunningLaunch>(launches_.at(name), root_ / name);
    }
    return slot->started() ? slot.get() : nullptr;
  }

 private:
  std::filesystem::path root_;
  std::map<std::string, Launch> launches_;
  std::map<std::string, std::unique_ptr<RunningLaunch>> running_;
};

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// Firefox ESR: no first-run pages, no network, the draft page focused on its text area.
inline Launch firefoxLaunch(const std::filesystem::path& dir, bool accessibilityOn = true) {
  writeFile(dir / "profile/user.js",
            "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
            "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
            "user_pref(\"startup.homepage_welcome_url\", \"\");\n"
            "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
            "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
            "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
            "user_pref(\"app.update.disabledForTesting\", true);\n"
            "user_pref(\"browser.sessionstore.resume_from_crash\", false);\n"
            "user_pref(\"network.captive-portal-service.enabled\", false);\n"
            "user_pref(\"network.connectivity-service.enabled\", false);\n"
            "user_pref(\"extensions.autoDisableScopes\", 15);\n"
            "user_pref(\"layout.spellcheckDefault\", 0);\n");
  writeFile(dir / "draft.html", kDraftPage);
  writeFile(dir / "mail.html", kMailPage);
  writeFile(dir / "webmail.html", kWebmailPage);
  // Without the variable Firefox asks the desktop (org.a11y.Status) whether to show a tree.
  std::vector<std::string> command{"env", "-u", "GNOME_ACCESSIBILITY"};
  if (accessibilityOn) command = {"env", "GNOME_ACCESSIBILITY=1"};
  command.insert(command.end(),
                 {"firefox-esr", "--no-remote", "--profile", (dir / "profile").string(),
                  "--window-size", "1000,800", "file://" + (dir / "draft.html").string()});
  return {"/usr/bin/firefox-esr", command, {}, "^초안 - "};
}

// Thunderbird: one local account with an identity (no server is ever asked), a plain and an
// HTML composer open to 김민수.
inline Launch thunderbirdLaunch(const std::filesystem::path& dir) {
  const auto profile = (dir / "profile").string();
  std::string prefs;
  auto pref = [&](const std::string& name, const std::string& value) {
    prefs += "user_pref(\"" + name + "\", " + value + ");\n";
  };
  auto text = [](const std::string& s) { return "\"" + s + "\""; };
  pref("mail.accountmanager.accounts", text("account1,account2"));
  pref("mail.accountmanager.defaultaccount", text("account1"));
  pref("mail.accountmanager.localfoldersserver", text("server2"));
  pref("mail.account.account1.identities", text("id1"));
  pref("mail.account.account1.server", text("server1"));
  pref("mail.account.account2.server", text("server2"));
  pref("mail.identity.id1.fullName", text("이지은"));
  pref("mail.identity.id1.useremail", text("jieun@example.com"));
  pref("mail.identity.id1.valid", "true");
  pref("mail.server.server1.type", text("pop3"));
  pref("mail.server.server1.hostname", text("localhost"));
  pref("mail.server.server1.port", "1");
  pref("mail.server.server1.userName", text("jieun"));
  pref("mail.server.server1.login_at_startup", "false");
  pref("mail.server.server1.check_new_mail", "false");
  pref("mail.server.server1.directory", text(profile + "/Mail/localhost"));
  pref("mail.server.server2.type", text("none"));
  pref("mail.server.server2.hostname", text("Local Folders"));
  pref("mail.server.server2.userName", text("nobody"));
  pref("mail.server.server2.directory", text(profile + "/Mail/Local Folders"));
  pref("mail.shell.checkDefaultClient", "false");
  pref("mail.provider.suppress_dialog_on_startup", "true");
  pref("mailnews.start_page.enabled", "false");
  pref("mail.rights.version", "1");
  pref("mail.spellcheck.inline", "false");
  pref("app.update.disabledForTesting", "true");
  pref("datareporting.policy.dataSubmissionEnabled", "false");
  writeFile(dir / "profile/user.js", prefs);
  std::filesystem::create_directories(dir / "profile/Mail/localhost");
  std::filesystem::create_directories(dir / "profile/Mail/Local Folders");
  auto compose = [&](const std::string& subject, const std::string& format) {
    return std::vector<std::string>{
        "env",
        "GNOME_ACCESSIBILITY=1",
        "thunderbird",
        "--profile",
        profile,
        "-compose",
        "to='김민수 <minsu@example.com>',subject='" + subject + "',format=" + format};
  };
  return {"/usr/bin/thunderbird",
          {"env", "GNOME_ACCESSIBILITY=1", "thunderbird", "--profile", profile},
          {compose("평문 초안", "text"), compose("서식 초안", "html")},
          "Mozilla Thunderbird"};
}

// LibreOffice Writer on a one-paragraph text document, with its GTK 3 window (the other
// window systems it has expose no accessibility tree).
inline Launch writerLaunch(const std::filesystem::path& dir) {
  writeFile(dir / "draft.txt", "초안\n");
  return {"/usr/bin/soffice",
          {"env", "SAL_USE_VCLPLUGIN=gtk3", "soffice", "--writer", "--norestore", "--nologo",
           "--nodefault", "-env:UserInstallation=file://" + (dir / "profile").string(),
           "--infilter=Text (encoded):UTF8,LF,,,", (dir / "draft.txt").string()},
          {},
          "draft.txt - LibreOffice Writer"};
}

inline std::map<std::string, Launch> DesktopApps::launches(const std::filesystem::path& root) {
  writeFile(root / "gtk4/note.txt", "초안\n");
  return {
      {"firefox", firefoxLaunch(root / "firefox")},
      {"firefox-late", firefoxLaunch(root / "firefox-late", false)},
      {"thunderbird", thunderbirdLaunch(root / "thunderbird")},
      {"writer", writerLaunch(root / "writer")},
      {"gtk4",
       {"/usr/bin/gnome-text-editor",
        {"gnome-text-editor", "--standalone", "--ignore-session",
         (root / "gtk4/note.txt").string()},
        {},
        "note.txt"}},
      {"qt",
       {buildDir() + "/tests/mirelo_qt_fixture",
        {"env", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1", buildDir() + "/tests/mirelo_qt_fixture"},
        {},
        "Mirelo Qt text"}},
      {"qt-line",
       {buildDir() + "/tests/mirelo_qt_fixture",
        {"env", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1", buildDir() + "/tests/mirelo_qt_fixture",
         "--focus=line"},
        {},
        "Mirelo Qt line"}},
      {"xterm",
       {"/usr/bin/xterm",
        {"xterm", "-title", "Mirelo xterm", "-e", "sh", "-c",
         "printf '터미널 첫 줄입니다\\n'; exec cat"},
        {},
        "Mirelo xterm"}},
  };
}

}  // namespace desktoptest

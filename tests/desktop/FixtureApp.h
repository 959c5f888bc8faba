#pragma once

// Starts mirelo_fixture (the GTK 3 fixture application) and talks to it over its standard
// input and output; see tests/desktop/fixture/MireloFixture.cpp for the options and commands.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Child.h"

namespace desktoptest {

// What another program reads from the clipboard for target: base64, or "-" when not offered.
inline std::string readClipboard(const std::string& target) {
  Child reader;
  if (!reader.start({buildDir() + "/tests/mirelo_fixture", "--read=" + target})) return "(none)";
  return reader.read('\n', 20000).value_or("(no answer)");
}

class FixtureApp {
 public:
  explicit FixtureApp(std::vector<std::string> args) {
    args.insert(args.begin(), buildDir() + "/tests/mirelo_fixture");
    if (!child_.start(args)) return;
    auto line = child_.read('\n', 10000);
    if (line && line->rfind("ready ", 0) == 0) info_ = nlohmann::json::parse(line->substr(6));
  }

  bool ready() const { return !info_.is_null(); }
  int pid() const { return child_.pid(); }
  // The X window id of one of its windows ("editor", "mail", "terminal", "labels").
  unsigned long window(const std::string& name) const { return info_["windows"].value(name, 0UL); }

  // Sends one command and returns its one-line answer ("" when none came).
  std::string command(const std::string& line) {
    return child_.write(line + "\n") ? child_.read('\n', 5000).value_or("") : "";
  }
  // A widget's text as the application sees it.
  std::string text(const std::string& widget) {
    auto answer = nlohmann::json::parse(command("text " + widget), nullptr, false);
    return answer.is_string() ? answer.get<std::string>() : "";
  }
  void focus(const std::string& widget) { command("focus " + widget); }
  void select(const std::string& widget, int start, int end) {
    command("select " + widget + " " + std::to_string(start) + " " + std::to_string(end));
  }
  void set(const std::string& widget, const std::string& text) {
    command("set " + widget + " " + nlohmann::json(text).dump());
  }
  // Input for the terminal's program, as if typed.
  void type(const std::string& widget, const std::string& text) {
    command("type " + widget + " " + nlohmann::json(text).dump());
  }
  // Its next line of output that answers no command (the clipboard manager's "saved …").
  std::optional<std::string> line(int timeoutMs) { return child_.read('\n', timeoutMs); }
  void stop() { child_.stop(SIGTERM); }

 private:
  Child child_;
  nlohmann::json info_;
};

}  // namespace desktoptest

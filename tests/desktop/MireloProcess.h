#pragma once

// The real program started as a process on the private session, as a user would start it.
#include <glib.h>

#include <string>
#include <vector>

#include "Child.h"

namespace desktoptest {

// The program with its stderr (the log) on the same pipe as its stdout.
inline bool startMirelo(Child& child, const std::vector<std::string>& extra = {},
                        const std::vector<std::string>& environment = {}) {
  std::vector<std::string> args{"/usr/bin/env"};
  args.insert(args.end(), environment.begin(), environment.end());
  args.insert(args.end(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", buildDir() + "/mirelo"});
  args.insert(args.end(), extra.begin(), extra.end());
  return child.start(args);
}

// Reads lines until one holds text; everything read on the way goes to seen.
inline bool readUntil(Child& child, const std::string& text, std::string& seen,
                      int timeoutMs = 10000) {
  while (auto line = child.read('\n', timeoutMs)) {
    seen += *line + "\n";
    if (line->find(text) != std::string::npos) return true;
  }
  return false;
}

// How many top-level windows with this title the process shows.
inline int windowsShown(int pid, const std::string& title) {
  std::string command =
      "xdotool search --onlyvisible --pid " + std::to_string(pid) + " --name '^" + title + "$'";
  gchar* out = nullptr;
  if (!g_spawn_command_line_sync(command.c_str(), &out, nullptr, nullptr, nullptr)) return -1;
  int lines = 0;
  for (const gchar* c = out; c && *c; ++c)
    lines += *c == '\n';
  g_free(out);
  return lines;
}

}  // namespace desktoptest

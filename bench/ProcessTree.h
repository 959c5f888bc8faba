#pragma once

// A process and its descendants, read from /proc, for the benches that measure a whole tree.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace bench {

// The fields of /proc/PID/stat after the command name: [0] is the state, [1] the parent.
inline std::vector<std::string> statFields(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::string> fields;
  auto close = stat.rfind(')');
  if (close == std::string::npos) return fields;
  std::istringstream rest(stat.substr(close + 2));
  for (std::string f; rest >> f;)
    fields.push_back(f);
  return fields;
}

// User and system clock ticks a process has used.
inline long cpuTicks(int pid) {
  auto f = statFields(pid);
  return f.size() > 12 ? std::stol(f[11]) + std::stol(f[12]) : 0;
}

// Proportional set size of a process in kB (shared pages split between their users).
inline long pssKb(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string key;
  long value = 0;
  while (in >> key)
    if (key == "Pss:" && in >> value) return value;
  return 0;
}

// root and every process below it.
inline std::vector<int> processTree(int root) {
  std::vector<int> pids{root};
  for (size_t i = 0; i < pids.size(); ++i) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      const std::string name = entry.path().filename();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      auto f = statFields(std::stoi(name));
      if (f.size() > 1 && std::stoi(f[1]) == pids[i]) pids.push_back(std::stoi(name));
    }
  }
  return pids;
}

}  // namespace bench

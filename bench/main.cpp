// Runs the registered benchmarks: all of them, or those whose names are given.
#include <algorithm>
#include <cstdio>
#include <string>

#include "Bench.h"

int main(int argc, char** argv) {
  std::vector<std::string> wanted(argv + 1, argv + argc);
  auto entries = bench::registry();
  std::sort(entries.begin(), entries.end(),
            [](const bench::Entry& a, const bench::Entry& b) { return a.name < b.name; });
  int ran = 0;
  for (const auto& entry : entries) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), entry.name) == wanted.end())
      continue;
    entry.run();
    ++ran;
  }
  if (ran == 0) {
    std::fprintf(stderr, "no such bench; known:");
    for (const auto& entry : entries)
      std::fprintf(stderr, " %s", entry.name.c_str());
    std::fprintf(stderr, "\n");
    return 1;
  }
  return 0;
}

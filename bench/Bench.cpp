#include "Bench.h"

#include <algorithm>
#include <cstdio>

namespace bench {

std::vector<Entry>& registry() {
  static std::vector<Entry> entries;
  return entries;
}

Registration::Registration(std::string name, Function run) {
  registry().push_back({std::move(name), std::move(run)});
}

void report(std::string_view name, double value, std::string_view unit) {
  std::printf("bench: %.*s %.3f %.*s\n", static_cast<int>(name.size()), name.data(), value,
              static_cast<int>(unit.size()), unit.data());
  std::fflush(stdout);
}

double medianMilliseconds(int runs, const std::function<void()>& fn) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    fn();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace bench

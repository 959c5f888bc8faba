#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A small registry of benchmarks. A bench file registers its function once:
//
//   static bench::Registration registered("page_context", [] { ... bench::report(...); });
//
// and mirelo_bench runs every registered bench (or those named on its command line), each
// printing its figures as "bench: NAME VALUE UNIT" lines.
namespace bench {

using Function = std::function<void()>;

struct Entry {
  std::string name;
  Function run;
};

std::vector<Entry>& registry();

struct Registration {
  Registration(std::string name, Function run);
};

// Prints one figure.
void report(std::string_view name, double value, std::string_view unit);

// Milliseconds that fn takes, the median of runs.
double medianMilliseconds(int runs, const std::function<void()>& fn);

}  // namespace bench

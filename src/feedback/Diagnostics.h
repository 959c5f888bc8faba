#pragma once

#include <string>
#include <vector>

// A short in-memory history of recent trigger runs, newest first.
namespace Diagnostics {

struct Entry {
  double at = 0;  // seconds since the Unix epoch
  std::string appName;
  std::string readMethod;
  std::string writeMethod;
  std::string note;

  // "HH:mm:ss  앱 · 읽기 … · 쓰기 …[ · note]" in the local time zone.
  std::string line() const;
};

inline constexpr size_t kMaxEntries = 20;

void add(Entry entry);
const std::vector<Entry>& entries();
// Every line, newest first, or "아직 기록이 없습니다" when there is none.
std::string summary();
void resetForTesting();

}  // namespace Diagnostics

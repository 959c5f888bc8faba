#include "feedback/Diagnostics.h"

#include <ctime>

namespace Diagnostics {

namespace {

std::vector<Entry>& list() {
  static std::vector<Entry> entries;
  return entries;
}

std::string clockTime(double at) {
  std::time_t t = static_cast<std::time_t>(at);
  std::tm local{};
  localtime_r(&t, &local);
  char buf[16];
  std::strftime(buf, sizeof buf, "%H:%M:%S", &local);
  return buf;
}

}  // namespace

std::string Entry::line() const {
  std::string s =
      clockTime(at) + "  " + appName + " · 읽기 " + readMethod + " · 쓰기 " + writeMethod;
  if (!note.empty()) s += " · " + note;
  return s;
}

void add(Entry entry) {
  auto& l = list();
  l.insert(l.begin(), std::move(entry));
  if (l.size() > kMaxEntries) l.resize(kMaxEntries);
}

const std::vector<Entry>& entries() {
  return list();
}

std::string summary() {
  const auto& l = list();
  if (l.empty()) return "아직 기록이 없습니다";
  std::string s;
  for (size_t i = 0; i < l.size(); ++i) {
    if (i) s += "\n";
    s += l[i].line();
  }
  return s;
}

void resetForTesting() {
  list().clear();
}

}  // namespace Diagnostics

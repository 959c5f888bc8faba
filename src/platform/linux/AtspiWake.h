#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace linuxport {

// Waking an application's accessibility: bookkeeping per pid (toolkits on Linux decide at
// their own start whether to expose a tree), and a browser's page tree, built only once read
// into, is read into once.
class AtspiWake {
 public:
  // Whether name is an attribute of waking.
  static bool isWakeAttribute(std::string_view name);
  // Records name on or off for pid; canReach says whether pid's tree may be read into.
  void set(std::int32_t pid, std::string_view name, bool on, bool canReach);
  bool isSet(std::int32_t pid, std::string_view name) const;

 private:
  std::map<std::int32_t, std::set<std::string, std::less<>>> woken_;
};

}  // namespace linuxport

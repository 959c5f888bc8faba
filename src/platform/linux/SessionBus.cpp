#include "platform/linux/SessionBus.h"

#include <cstdlib>
#include <filesystem>

namespace linuxport {

bool sessionBusReachable() {
  if (const char* addr = std::getenv("DBUS_SESSION_BUS_ADDRESS"); addr && *addr) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  return runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec);
}

}  // namespace linuxport

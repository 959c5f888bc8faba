#include "platform/linux/Autostart.h"

#include <cstdlib>
#include <fstream>

#include "base/Log.h"

namespace linuxport::Autostart {

namespace fs = std::filesystem;

fs::path entryFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  fs::path base = config && *config ? fs::path(config) : fs::path(home ? home : "") / ".config";
  return base / "autostart" / "com.mirelo.app.desktop";
}

void offerOnce(platform::Defaults& defaults, const fs::path& program) {
  auto offered = defaults.object(kOfferedKey);
  if (offered && offered->is_boolean() && offered->get<bool>()) return;
  const fs::path file = entryFile();
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::trunc);
  out << "[Desktop Entry]\nType=Application\nName=Mirelo\nName[ko]=Mirelo\n"
      << "Exec=\"" << program.string() << "\"\nIcon=com.mirelo.app\n"
      << "X-GNOME-Autostart-enabled=true\nNoDisplay=true\n";
  out.close();
  if (!out) {
    Log::app.error("자동 시작 항목을 쓰지 못했다: %{public}s", file.string());
    return;
  }
  defaults.set(kOfferedKey, Json(true));
  Log::app.info("자동 시작 항목을 만들었다: %{public}s", file.string());
}

}  // namespace linuxport::Autostart

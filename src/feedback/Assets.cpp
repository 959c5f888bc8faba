#include "feedback/Assets.h"

namespace Assets {

namespace fs = std::filesystem;

namespace {

bool isFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0;
}

}  // namespace

TrayIcon menubar(const fs::path& dataDir) {
  // Unthemed icons at the top of an icon search path: every tray finds them by name.
  fs::path theme = dataDir / "icons";
  const fs::path& status = theme;
  if (!isFile(status / "mirelo-tray-symbolic.svg")) return {"", kStockTrayIcon, kStockTrayIcon};
  std::string dimmed = isFile(status / "mirelo-tray-dimmed-symbolic.svg")
                           ? "mirelo-tray-dimmed-symbolic"
                           : "mirelo-tray-symbolic";
  return {theme.string(), "mirelo-tray-symbolic", dimmed};
}

std::optional<std::string> appIcon(const fs::path& dataDir) {
  for (const fs::path& p :
       {dataDir / "icons/hicolor/256x256/apps/com.mirelo.app.png", dataDir / "emblem.png"})
    if (isFile(p)) return p.string();
  return std::nullopt;
}

}  // namespace Assets

#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The two images Mirelo shows, looked up under its data folder (share/mirelo), each with a
// fallback: the tray icon falls back to a stock icon of the desktop's theme, the application
// icon to the emblem file, and then to none.
namespace Assets {

inline constexpr const char* kStockTrayIcon = "internet-chat-symbolic";

// Icon names for the tray, and the folder (a hicolor icon theme) that holds them; an empty
// folder means the names come from the desktop's own theme.
struct TrayIcon {
  std::string themePath;
  std::string name;
  std::string dimmedName;
};

TrayIcon menubar(const std::filesystem::path& dataDir);
std::optional<std::string> appIcon(const std::filesystem::path& dataDir);

}  // namespace Assets

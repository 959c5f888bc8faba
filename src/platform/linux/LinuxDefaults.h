#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/Defaults.h"

namespace linuxport {

// Preferences in a JSON file ($XDG_CONFIG_HOME/mirelo/defaults.json), written atomically;
// the Info dictionary from share/mirelo/Info.json beside the program.
class LinuxDefaults : public platform::Defaults {
 public:
  LinuxDefaults(std::filesystem::path file, std::filesystem::path infoFile);

  static std::filesystem::path standardFile();
  static std::filesystem::path standardInfoFile();

  std::optional<Json> object(std::string_view key) override;
  void set(std::string_view key, const Json& value) override;
  void remove(std::string_view key) override;
  std::optional<Json> info(std::string_view key) override;

 private:
  void reloadIfChanged();
  void save();

  std::filesystem::path file_;
  std::filesystem::path infoFile_;
  Json values_ = Json::object();
  std::optional<std::filesystem::file_time_type> loadedTime_;
  std::uintmax_t loadedSize_ = 0;
  bool loaded_ = false;
  bool corrupt_ = false;  // the file on disk is kept aside before it is replaced
  std::optional<Json> info_;
};

}  // namespace linuxport

#include "platform/linux/LinuxDefaults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/Log.h"

namespace fs = std::filesystem;

namespace linuxport {

namespace {

fs::path homeDir() {
  const char* home = std::getenv("HOME");
  return home && *home ? fs::path(home) : fs::path("/");
}

std::optional<std::string> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Writes bytes to a temporary file beside path, flushes it to disk, then renames it over path.
bool writeAtomically(const fs::path& path, const std::string& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::string tmpl = (path.parent_path() / (path.filename().string() + ".XXXXXX")).string();
  int fd = mkstemp(tmpl.data());
  if (fd < 0) return false;
  fchmod(fd, 0600);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      ::close(fd);
      ::unlink(tmpl.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  bool ok = ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(tmpl.c_str(), path.c_str()) != 0) {
    ::unlink(tmpl.c_str());
    return false;
  }
  return true;
}

}  // namespace

LinuxDefaults::LinuxDefaults(fs::path file, fs::path infoFile)
    : file_(std::move(file)), infoFile_(std::move(infoFile)) {}

fs::path LinuxDefaults::standardFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  fs::path base = config && *config ? fs::path(config) : homeDir() / ".config";
  return base / "mirelo" / "defaults.json";
}

fs::path LinuxDefaults::standardInfoFile() {
  std::error_code ec;
  fs::path exeDir = fs::read_symlink("/proc/self/exe", ec).parent_path();
  for (const fs::path& candidate :
       {exeDir / "share/mirelo/Info.json", exeDir / "../share/mirelo/Info.json"}) {
    if (fs::exists(candidate, ec)) return candidate;
  }
  return exeDir / "../share/mirelo/Info.json";
}

void LinuxDefaults::reloadIfChanged() {
  std::error_code ec;
  auto time = fs::last_write_time(file_, ec);
  if (ec) {  // no file: nothing stored
    values_ = Json::object();
    loaded_ = true;
    loadedTime_.reset();
    return;
  }
  auto size = fs::file_size(file_, ec);
  if (loaded_ && loadedTime_ == time && loadedSize_ == size) return;
  loaded_ = true;
  loadedTime_ = time;
  loadedSize_ = size;
  auto text = readFile(file_);
  auto parsed = text ? JsonValue::parse(*text) : std::nullopt;
  if (parsed && parsed->is_object()) {
    values_ = std::move(*parsed);
    corrupt_ = false;
    return;
  }
  values_ = Json::object();
  if (!corrupt_) {
    Log::app.error("설정 파일을 읽지 못했습니다 — 기본값을 씁니다 (%{public}s)", file_.string());
  }
  corrupt_ = true;
}

void LinuxDefaults::save() {
  if (corrupt_) {
    std::error_code ec;
    fs::path kept = file_;
    kept += ".corrupt";
    fs::rename(file_, kept, ec);
    corrupt_ = false;
  }
  if (!writeAtomically(file_, values_.dump(2) + "\n")) {
    Log::app.error("설정을 저장하지 못했습니다 (%{public}s)", file_.string());
    return;
  }
  std::error_code ec;
  loadedTime_ = fs::last_write_time(file_, ec);
  loadedSize_ = fs::file_size(file_, ec);
}

std::optional<Json> LinuxDefaults::object(std::string_view key) {
  reloadIfChanged();
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return *it;
}

void LinuxDefaults::set(std::string_view key, const Json& value) {
  reloadIfChanged();
  values_[std::string(key)] = value;
  save();
}

void LinuxDefaults::remove(std::string_view key) {
  reloadIfChanged();
  if (values_.erase(std::string(key)) == 0 && !corrupt_) return;
  save();
}

std::optional<Json> LinuxDefaults::info(std::string_view key) {
  if (!info_) {
    auto text = readFile(infoFile_);
    auto parsed = text ? JsonValue::parse(*text) : std::nullopt;
    info_ = parsed && parsed->is_object() ? *parsed : Json::object();
  }
  auto it = info_->find(key);
  if (it == info_->end()) return std::nullopt;
  return *it;
}

}  // namespace linuxport

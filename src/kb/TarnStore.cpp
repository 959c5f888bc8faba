#include "kb/TarnStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace TarnStore {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
  throw std::runtime_error(what + " " + path + ": " + std::strerror(error));
}

std::string dataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share";
}

std::string parentOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void writeAll(int fd, const std::string& text, const std::string& path) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("cannot write", path, errno);
    done += static_cast<size_t>(n);
  }
}

void syncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) fail("cannot open", dir, errno);
  int rc = ::fsync(fd);
  int error = errno;
  ::close(fd);
  if (rc != 0) fail("cannot flush", dir, error);
}

std::int64_t sizeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return st.st_size;
}

}  // namespace

std::string directory() {
  return dataHome() + "/Mirelo";
}
std::string tarnFile() {
  return directory() + "/tarn.json";
}
std::string avatarFile() {
  return directory() + "/avatar.txt";
}

std::int64_t usage() {
  return sizeOf(tarnFile()) + sizeOf(avatarFile());
}

void ensureDirectory() {
  std::string dir = directory();
  for (size_t pos = 1; pos != std::string::npos;) {
    pos = dir.find('/', pos + 1);
    std::string part = dir.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) fail("cannot create", part, errno);
  }
}

void writeAtomically(const std::string& text, const std::string& path) {
  const std::string dir = parentOf(path);
  const std::string temporary = dir + "/." + nameOf(path) + ".tmp";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) fail("cannot create", temporary, errno);
  try {
    writeAll(fd, text, temporary);
    if (::fsync(fd) != 0) fail("cannot flush", temporary, errno);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) fail("cannot close", temporary, errno);
  if (::rename(temporary.c_str(), path.c_str()) != 0) fail("cannot replace", path, errno);
  syncDirectory(dir);
}

void saveAvatar(const std::optional<std::string>& dataUrl) {
  ensureDirectory();
  if (dataUrl && !dataUrl->empty()) return writeAtomically(*dataUrl, avatarFile());
  ::unlink(avatarFile().c_str());
}

void clear() {
  ::unlink(tarnFile().c_str());
  ::unlink(avatarFile().c_str());
}

std::optional<std::string> read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return out.str();
}

}  // namespace TarnStore

#include "base/Log.h"

#include <sys/stat.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace Log {

const Logger app("app");
const Logger trigger("trigger");
const Logger api("api");

namespace {

constexpr const char* kSubsystem = "com.mirelo.app";

std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}

std::vector<Record>* captured = nullptr;
bool stderrWanted = true;

std::string argAsString(const Arg& a) {
  if (auto s = std::get_if<std::string>(&a)) return *s;
  if (auto i = std::get_if<std::int64_t>(&a)) return std::to_string(*i);
  if (auto u = std::get_if<std::uint64_t>(&a)) return std::to_string(*u);
  if (auto b = std::get_if<bool>(&a)) return *b ? "true" : "false";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", std::get<double>(a));
  return buf;
}

std::string argAsInteger(const Arg& a, bool isUnsigned) {
  if (auto i = std::get_if<std::int64_t>(&a))
    return isUnsigned ? std::to_string(static_cast<std::uint64_t>(static_cast<std::uint32_t>(*i)))
                      : std::to_string(*i);
  if (auto u = std::get_if<std::uint64_t>(&a)) return std::to_string(*u);
  if (auto b = std::get_if<bool>(&a)) return *b ? "1" : "0";
  if (auto d = std::get_if<double>(&a)) return std::to_string(static_cast<long long>(*d));
  return argAsString(a);
}

std::string argAsBool(const Arg& a) {
  if (auto b = std::get_if<bool>(&a)) return *b ? "true" : "false";
  if (auto i = std::get_if<std::int64_t>(&a)) return *i ? "true" : "false";
  if (auto u = std::get_if<std::uint64_t>(&a)) return *u ? "true" : "false";
  return argAsString(a);
}

std::string argAsFloat(const Arg& a, int precision) {
  double v = 0;
  if (auto d = std::get_if<double>(&a))
    v = *d;
  else if (auto i = std::get_if<std::int64_t>(&a))
    v = static_cast<double>(*i);
  else if (auto u = std::get_if<std::uint64_t>(&a))
    v = static_cast<double>(*u);
  else
    return argAsString(a);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", precision < 0 ? 6 : precision, v);
  return buf;
}

std::string argAsHex(const Arg& a, bool upper) {
  std::uint64_t v = 0;
  if (auto i = std::get_if<std::int64_t>(&a))
    v = static_cast<std::uint64_t>(*i);
  else if (auto u = std::get_if<std::uint64_t>(&a))
    v = *u;
  else
    return argAsString(a);
  char buf[32];
  std::snprintf(buf, sizeof buf, upper ? "%llX" : "%llx", static_cast<unsigned long long>(v));
  return buf;
}

// True when stderr is the journal's own stream, so writing there would log every line twice.
bool stderrIsJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (!stream) return false;
  unsigned long long dev = 0, ino = 0;
  if (std::sscanf(stream, "%llu:%llu", &dev, &ino) != 2) return false;
  struct stat st {};
  if (fstat(STDERR_FILENO, &st) != 0) return false;
  return st.st_dev == dev && st.st_ino == ino;
}

const char* levelWord(Level level) {
  switch (level) {
    case Level::info:
      return "info";
    case Level::notice:
      return "default";
    case Level::error:
      return "error";
  }
  return "";
}

}  // namespace

void setStderrEnabled(bool enabled) {
  std::lock_guard lock(sinkMutex());
  stderrWanted = enabled;
}

int priority(Level level) {
  switch (level) {
    case Level::info:
      return 6;
    case Level::notice:
      return 5;
    case Level::error:
      return 3;
  }
  return 5;
}

std::string format(std::string_view fmt, const std::vector<Arg>& args) {
  std::string out;
  size_t next = 0;
  size_t i = 0;
  auto take = [&]() -> const Arg* { return next < args.size() ? &args[next++] : nullptr; };
  while (i < fmt.size()) {
    char c = fmt[i];
    if (c != '%' || i + 1 >= fmt.size()) {
      out += c;
      ++i;
      continue;
    }
    if (fmt[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    size_t j = i + 1;
    std::string_view privacy;
    if (fmt[j] == '{') {
      size_t close = fmt.find('}', j);
      if (close == std::string_view::npos) {
        out += fmt.substr(i);
        break;
      }
      privacy = fmt.substr(j + 1, close - j - 1);
      j = close + 1;
    }
    int precision = -1;
    if (j < fmt.size() && fmt[j] == '.') {
      ++j;
      precision = 0;
      while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9')
        precision = precision * 10 + (fmt[j++] - '0');
    }
    while (j < fmt.size() && (fmt[j] == 'l' || fmt[j] == 'z' || fmt[j] == 'h' || fmt[j] == 'q'))
      ++j;
    if (j >= fmt.size()) {
      out += fmt.substr(i);
      break;
    }
    char conv = fmt[j];
    const std::string_view known = "sdiufxX@";
    if (known.find(conv) == std::string_view::npos) {
      out += fmt.substr(i, j - i + 1);
      i = j + 1;
      continue;
    }
    const Arg* a = take();
    if (!a) {
      out += "<missing>";
    } else if (privacy == "bool") {
      out += argAsBool(*a);
    } else if (conv == 's' || conv == '@') {
      out += argAsString(*a);
    } else if (conv == 'd' || conv == 'i') {
      out += argAsInteger(*a, false);
    } else if (conv == 'u') {
      out += argAsInteger(*a, true);
    } else if (conv == 'f') {
      out += argAsFloat(*a, precision);
    } else {
      out += argAsHex(*a, conv == 'X');
    }
    i = j + 1;
  }
  return out;
}

void Logger::write(Level level, std::string_view fmt, const std::vector<Arg>& args) const {
  std::string message = format(fmt, args);
  std::lock_guard lock(sinkMutex());
  if (captured) {
    captured->push_back({category_, level, std::move(message)});
    return;
  }
  sd_journal_send("MESSAGE=%s", message.c_str(), "PRIORITY=%d", priority(level),
                  "SYSLOG_IDENTIFIER=mirelo", "SUBSYSTEM=%s", kSubsystem, "CATEGORY=%s",
                  category_.c_str(), nullptr);
  static const bool toStderr = !stderrIsJournal();
  if (toStderr && stderrWanted)
    std::fprintf(stderr, "mirelo [%s] %s: %s\n", category_.c_str(), levelWord(level),
                 message.c_str());
}

Capture::Capture() {
  std::lock_guard lock(sinkMutex());
  captured = new std::vector<Record>();
}

Capture::~Capture() {
  std::lock_guard lock(sinkMutex());
  delete captured;
  captured = nullptr;
}

const std::vector<Record>& Capture::records() const {
  return *captured;
}

bool Capture::contains(std::string_view category, Level level, std::string_view message) const {
  std::lock_guard lock(sinkMutex());
  for (const auto& r : *captured)
    if (r.category == category && r.level == level && r.message == message) return true;
  return false;
}

void Capture::clear() {
  std::lock_guard lock(sinkMutex());
  captured->clear();
}

}  // namespace Log

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Logging in the program's own format strings ("%{public}s", "%ld", "%{bool}d", "%u", "%.1f").
// Sinks: journald, stderr when stderr is not already the journal, and a capture for tests.
namespace Log {

enum class Level { info, notice, error };  // notice = the "default" level

struct Record {
  std::string category;  // "app", "trigger", "api"
  Level level;
  std::string message;
};

using Arg = std::variant<std::int64_t, std::uint64_t, double, bool, std::string>;

// Renders a format string with its arguments; unknown directives are copied as they are.
std::string format(std::string_view fmt, const std::vector<Arg>& args);

namespace detail {
inline Arg toArg(bool v) {
  return v;
}
inline Arg toArg(double v) {
  return v;
}
inline Arg toArg(float v) {
  return static_cast<double>(v);
}
inline Arg toArg(const char* v) {
  return std::string(v ? v : "(null)");
}
inline Arg toArg(std::string_view v) {
  return std::string(v);
}
inline Arg toArg(const std::string& v) {
  return v;
}
template <typename T>
requires std::is_integral_v<T> && std::is_signed_v<T> Arg toArg(T v) {
  return static_cast<std::int64_t>(v);
}
template <typename T>
requires std::is_integral_v<T> && std::is_unsigned_v<T> &&(!std::is_same_v<T, bool>)Arg toArg(T v) {
  return static_cast<std::uint64_t>(v);
}
}  // namespace detail

class Logger {
 public:
  explicit Logger(std::string category) : category_(std::move(category)) {}
  const std::string& category() const { return category_; }

  template <typename... A>
  void info(std::string_view fmt, const A&... a) const {
    write(Level::info, fmt, {detail::toArg(a)...});
  }
  template <typename... A>
  void notice(std::string_view fmt, const A&... a) const {
    write(Level::notice, fmt, {detail::toArg(a)...});
  }
  template <typename... A>
  void error(std::string_view fmt, const A&... a) const {
    write(Level::error, fmt, {detail::toArg(a)...});
  }

  void write(Level level, std::string_view fmt, const std::vector<Arg>& args) const;

 private:
  std::string category_;
};

extern const Logger app;
extern const Logger trigger;
extern const Logger api;

// Replaces the journald/stderr sinks with an in-memory capture until the returned
// guard is destroyed. Tests read what was logged through records().
class Capture {
 public:
  Capture();
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  const std::vector<Record>& records() const;
  bool contains(std::string_view category, Level level, std::string_view message) const;
  void clear();
};

// Whether lines also go to stderr (they do unless stderr is the journal). A command-line run
// that prints its own report turns this off so the terminal shows each line once.
void setStderrEnabled(bool enabled);

// Syslog priority the journal receives for a level: info 6, default 5, error 3.
int priority(Level level);

}  // namespace Log

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/Async.h"
#include "platform/Platform.h"

// `mirelo --diagnose [application id] [--fire]`: prints, step by step, what decides whether a
// trigger can work on the frontmost application, then ends with an exit status.
namespace SelfTest {

inline constexpr int kExitDone = 0;
inline constexpr int kExitNoApplication = 1;
inline constexpr int kExitNoFocusedElement = 2;

// Each line goes to `out` and to the log. The result is the process's exit status.
Task<int> run(platform::Platform services, std::vector<std::string> arguments,
              std::function<void(const std::string&)> out);

// "못 읽음(nil)", "빈 문자열" or the character count followed by "자".
std::string describe(const std::optional<std::string>& text);

}  // namespace SelfTest

#include "platform/Pasteboard.h"

namespace platform {

Task<bool> Pasteboard::awaitOwnerChange(Clock& clock, double maxSeconds) {
  co_await sleepFor(clock, maxSeconds);
  co_return false;
}

Task<bool> Pasteboard::awaitFetch(Clock& clock, double maxSeconds) {
  co_await sleepFor(clock, maxSeconds);
  co_return false;
}

}  // namespace platform

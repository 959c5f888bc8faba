#include "fake/FakeKeyboardEvents.h"

namespace fake {

bool FakeKeyboardEvents::startListening(Handler handler) {
  if (refuseListening) return false;
  handler_ = std::move(handler);
  return true;
}

Task<bool> FakeKeyboardEvents::postShortcut(platform::Shortcut shortcut) {
  if (shortcutDelay > 0) co_await sleepFor(clock_, shortcutDelay);
  if (refused.contains(shortcut)) co_return false;
  posted.push_back(shortcut);
  if (onShortcut) onShortcut(shortcut);
  co_return true;
}

void FakeKeyboardEvents::inject(const platform::KeyEvent& event) {
  if (handler_) handler_(event);
}

}  // namespace fake

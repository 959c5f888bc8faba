#include "fake/FakeKeyboardEvents.h"

namespace fake {

bool FakeKeyboardEvents::startListening(Handler handler) {
  if (refuseListening) return false;
  handler_ = std::move(handler);
  return true;
}

void FakeKeyboardEvents::postShortcut(platform::Shortcut shortcut) {
  posted.push_back(shortcut);
  if (onShortcut) onShortcut(shortcut);
}

void FakeKeyboardEvents::inject(const platform::KeyEvent& event) {
  if (handler_) handler_(event);
}

}  // namespace fake

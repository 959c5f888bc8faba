#pragma once

#include "base/Clock.h"
#include "fake/FakeAccessibility.h"
#include "fake/FakeDefaults.h"
#include "fake/FakeHttp.h"
#include "fake/FakeKeyboardEvents.h"
#include "fake/FakeNotifier.h"
#include "fake/FakePasteboard.h"
#include "fake/FakeSecrets.h"
#include "fake/FakeUi.h"
#include "fake/FakeUpdater.h"
#include "fake/FakeWebViews.h"
#include "fake/FakeWorkspace.h"
#include "platform/Platform.h"

namespace fake {

// The whole in-memory desktop on a manual clock.
struct FakeDesktop {
  ManualClock clock;
  FakeAccessibility accessibility{&clock};
  FakeKeyboardEvents keyboard{clock};
  FakePasteboard pasteboard;
  FakeWorkspace workspace;
  FakeDefaults defaults;
  FakeSecrets secrets;
  FakeNotifier notifier;
  FakeHttp http;
  FakeUi ui;
  FakeWebViews webViews;
  FakeUpdater updater;

  // The services, with the given ones in place of their fakes.
  platform::Platform platform(platform::Http* h = nullptr, platform::Workspace* w = nullptr,
                              platform::Pasteboard* p = nullptr) {
    return {clock,    accessibility, keyboard, p ? *p : pasteboard, w ? *w : workspace,
            defaults, secrets,       notifier, h ? *h : http,       ui,
            webViews, updater};
  }
};

}  // namespace fake

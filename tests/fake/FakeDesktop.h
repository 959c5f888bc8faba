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
  FakeAccessibility accessibility;
  FakeKeyboardEvents keyboard{clock};
  FakePasteboard pasteboard;
  FakeWorkspace workspace;
  FakeDefaults defaults;
  FakeSecrets secrets;
  FakeNotifier notifier;
  FakeHttp http{clock};
  FakeUi ui;
  FakeWebViews webViews;
  FakeUpdater updater;

  platform::Platform platform() {
    return {clock,   accessibility, keyboard, pasteboard, workspace, defaults,
            secrets, notifier,      http,     ui,         webViews,  updater};
  }
};

}  // namespace fake

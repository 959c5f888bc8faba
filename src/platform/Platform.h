#pragma once

#include "base/Clock.h"
#include "platform/Accessibility.h"
#include "platform/Defaults.h"
#include "platform/Http.h"
#include "platform/KeyboardEvents.h"
#include "platform/Notifier.h"
#include "platform/Pasteboard.h"
#include "platform/Secrets.h"
#include "platform/Ui.h"
#include "platform/Updater.h"
#include "platform/WebViews.h"
#include "platform/Workspace.h"

namespace platform {

// The services of the desktop, built once in main (real) or in a test fixture (fake) and
// handed down.
struct Platform {
  Clock& clock;
  Accessibility& accessibility;
  KeyboardEvents& keyboard;
  Pasteboard& pasteboard;
  Workspace& workspace;
  Defaults& defaults;
  Secrets& secrets;
  Notifier& notifier;
  Http& http;
  Ui& ui;
  WebViews& webViews;
  Updater& updater;
};

}  // namespace platform

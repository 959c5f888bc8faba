#pragma once

#include <functional>
#include <string>

#include "app/StatusMenu.h"
#include "platform/Platform.h"
#include "platform/StatusItem.h"

class AppDelegate;

// The status item: its look and menu from the current state, and the menu's own actions (also
// reached from the status window). Owned by the application delegate, which outlives it.
class StatusBar {
 public:
  StatusBar(platform::Platform platform, AppDelegate& app);

  // The item that shows the look and the menu; it must outlive this.
  void attach(platform::StatusItem& item) { item_ = &item; }

  // The accessibility trust as last answered (trusted until a first answer).
  StatusMenu::State state();
  // Look and menu, from the state as it is now; asks for the trust and shows a changed answer.
  void refresh();
  void rebuildMenu();
  // A trust answer got elsewhere (the status window's); shown when it changed.
  void noteTrust(bool trusted);

  void signIn();
  void signOut();
  // Stores a known mode and hands it to the running trigger; anything else is ignored.
  void changeMode(const std::string& mode);
  void toggleBrowsers();
  void showDiagnostics();

 private:
  StatusMenu::Actions actions();
  void show();
  void checkTrust();

  platform::Platform p_;
  platform::StatusItem* item_ = nullptr;
  AppDelegate& app_;
  bool trusted_ = true;
  bool checkingTrust_ = false;
};

#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/Launch.h"
#include "app/RewriteUndo.h"
#include "base/Async.h"
#include "feedback/CaretPanel.h"
#include "field/Focus.h"
#include "field/FocusedField.h"
#include "field/InsertResult.h"
#include "field/PageContext.h"
#include "kb/KnowledgeBase.h"
#include "platform/Platform.h"
#include "platform/StatusItem.h"

#include "feedback/StatusWindow.h"

class StatusBar;
class TriggerTap;

// The hub of the application: turns one trigger into a read, a request and a write, and is
// the one place that tells the user anything. Owned by a shared_ptr: a running trigger keeps
// it alive until the trigger ends.
class AppDelegate : public std::enable_shared_from_this<AppDelegate> {
 public:
  using KnowledgeBaseFactory = std::function<std::unique_ptr<KnowledgeBase>()>;

  static constexpr const char* kTriggerLabel = "zel";
  static constexpr const char* kTranslateLabel = "zel 번역";
  static constexpr const char* kTranslateInstruction =
      "이 글이 한국어면 자연스러운 영어로, 그 밖의 언어면 자연스러운 한국어로 번역하세요. "
      "뜻과 말투, 줄바꿈과 문단 구분을 그대로 유지하고 번역문만 돌려주세요.";
  static constexpr long kMinDraftCharacters = 2;
  static constexpr long kRetrievalQueryCharacters = 600;
  static constexpr long kNoteTitleCharacters = 40;
  static constexpr long kIngestContextCharacters = 600;
  static constexpr double kPanelOffset = 6.0;
  static constexpr double kFlashSeconds = 3.0;

  // makeKnowledgeBase is called once, on first use, and must return a knowledge base.
  AppDelegate(platform::Platform platform, KnowledgeBaseFactory makeKnowledgeBase);
  ~AppDelegate();
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // The start of the application; parts must outlive this delegate.
  void launch(Launch::Parts parts) { launch_->run(std::move(parts)); }
  // The end: the trigger stops listening.
  void willTerminate() { launch_->terminate(); }
  Launch& launcher() { return *launch_; }

  // One trigger. Dropped while another is being processed, from the field read to the write.
  void run(std::optional<std::string> instruction, std::string label, bool useTarn);
  // The "선택한 글 번역" command.
  void translateNow();
  // The "방금 고친 글 되돌리기" command: the user's text from before the last write, back.
  void undoLastWrite();
  bool canUndo() const { return undo_.available(); }
  // At sign-out and quit: the kept text is forgotten.
  void forgetUndo() { undo_.forget(); }

  // Tells the user: a flash near the pointer, a system notification and the status window's
  // message line.
  void notify(const std::string& title, const std::string& body, bool isError);
  // Recomputes the status icon, tooltip and menu.
  void refreshStatusIcon();

  // An accessibility trust answer got elsewhere; the icon and menu change only when it did.
  void noteTrust(bool trusted);

  // Puts Mirelo into the tray; the item must outlive this delegate.
  void setupStatusItem(platform::StatusItem& item);
  // Makes the status window (shown later), its windows made by makeWindow.
  void setupStatusWindow(StatusWindow::WindowFactory makeWindow);
  StatusWindow* statusWindow() { return statusWindow_.get(); }
  // The running trigger, which the menu reads and reconfigures; it must outlive this delegate.
  void attachTrigger(TriggerTap& tap) { trigger_ = &tap; }
  TriggerTap* trigger() const { return trigger_; }
  // Reads the trigger mode and key from the settings into the listener, disarmed.
  void reloadTriggerSettings();
  // The event tap has stopped receiving events.
  bool tapDead() const { return tapDead_; }
  void setTapDead(bool dead) { tapDead_ = dead; }

  // Menu actions that reach beyond the menu.
  void signIn();
  void signOut();
  void showDiagnostics();
  void showWindow();
  void showDashboard();
  void showOnboarding();
  void relaunchNow();
  void quit();

  bool inFlight() const { return inFlight_; }
  KnowledgeBase& headless();
  CaretPanel& caret() { return caret_; }
  CaretPanel& hud() { return hud_; }

  // Filled by the status-bar menu and the status window.
  std::function<void()> onRefreshStatusIcon;
  std::function<void(const std::string& body, bool isError)> onStatusMessage;
  // Filled by the program: what the dashboard and quit commands do.
  std::function<void()> onShowWindow, onShowDashboard, onQuit;
  // After a successful sign-in from the menu.
  std::function<void()> onSignedIn;

 private:
  // What a work step produces: the text to write, and for generated replies what to remember.
  struct Reply {
    std::string text;
    std::optional<std::string> memoryNote;
    std::optional<std::string> context;
  };
  using Work = std::function<Task<Reply>()>;

  Task<void> trigger(std::shared_ptr<AppDelegate> self, std::optional<std::string> instruction,
                     std::string label, bool useTarn);
  // Tells the user why no field was read (failure absent: not a read failure at all).
  void readFailed(const Focus::ReadFailure* failure);
  void nothingToTranslate();
  Task<void> generate(FocusedField field, std::string label);
  Task<void> perform(FocusedField field, std::string label, Work work);
  bool showProgress(const FocusedField& field, const std::string& label);
  void written(const FocusedField& field, const Reply& reply, const InsertResult& result);
  void requestFailed(const FocusedField& field, const std::string& description);
  void remember(const Reply& reply, const FocusedField& field);
  Task<void> undoTask(std::shared_ptr<AppDelegate> self);

  static Task<Reply> rewriteStep(platform::Platform p, KnowledgeBase& kb, std::string draft,
                                 std::optional<std::string> instruction, bool useTarn);
  static Task<Reply> generateStep(platform::Platform p, KnowledgeBase& kb,
                                  PageContext::Reading reading);

  platform::Platform p_;
  KnowledgeBaseFactory makeKnowledgeBase_;
  std::unique_ptr<KnowledgeBase> headless_;
  CaretPanel caret_;
  CaretPanel hud_;
  RewriteUndo undo_;
  bool inFlight_ = false;
  bool tapDead_ = false;
  TriggerTap* trigger_ = nullptr;
  std::unique_ptr<StatusBar> statusBar_;
  std::shared_ptr<StatusWindow> statusWindow_;
  // Last: its watches call back into the members above.
  std::unique_ptr<Launch> launch_;
};

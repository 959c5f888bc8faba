#include "app/AppDelegate.h"

#include "account/Api.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "app/StatusBar.h"
#include "base/Crypto.h"
#include "base/Log.h"
#include "base/Text.h"
#include "feedback/Diagnostics.h"
#include "field/Insert.h"
#include "field/Permissions.h"

namespace {

// A version-4 UUID in upper case: every notification gets one, so none replaces another.
std::string freshIdentifier() {
  std::string bytes;
  try {
    bytes = Crypto::randomBytes(16);
  } catch (const std::exception&) {
    // Without randomness an identifier still has to be unique within this run.
    static unsigned long counter = 0;
    bytes = std::to_string(++counter) + std::string(16, '\0');
    bytes.resize(16);
  }
  bytes[6] = static_cast<char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<char>((bytes[8] & 0x3F) | 0x80);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    auto c = static_cast<unsigned char>(bytes[i]);
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
  }
  return out;
}

// Clears the busy flag however the trigger ends.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag) {}
  ~BusyScope() { flag_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& flag_;
};

// Knowledge for a request; a retrieval that fails anyway means a request without knowledge.
Task<std::optional<Json>> knowledgeFor(KnowledgeBase& kb, std::string query,
                                       std::optional<std::string> recipient) {
  std::optional<Json> knowledge;
  try {
    knowledge = co_await kb.retrieve(std::move(query), std::move(recipient));
  } catch (...) {
    knowledge.reset();
  }
  co_return knowledge;
}

Diagnostics::Entry entry(double at, const FocusedField& field, std::string writeMethod,
                         std::string note) {
  return {at, field.appName, std::string(rawValue(field.readMethod)), std::move(writeMethod),
          std::move(note)};
}

}  // namespace

AppDelegate::AppDelegate(platform::Platform platform, KnowledgeBaseFactory makeKnowledgeBase)
    : p_(platform),
      makeKnowledgeBase_(std::move(makeKnowledgeBase)),
      caret_(p_.ui, p_.clock),
      hud_(p_.ui, p_.clock),
      undo_(p_),
      statusBar_(std::make_unique<StatusBar>(p_, *this)),
      launch_(std::make_unique<Launch>(p_, *this)) {
  undo_.onChanged = [this] { refreshStatusIcon(); };
}

AppDelegate::~AppDelegate() = default;

KnowledgeBase& AppDelegate::headless() {
  if (!headless_) headless_ = makeKnowledgeBase_();
  return *headless_;
}

void AppDelegate::translateNow() {
  run(std::string(kTranslateInstruction), kTranslateLabel, false);
}

void AppDelegate::run(std::optional<std::string> instruction, std::string label, bool useTarn) {
  Log::app.notice("트리거 실행 (%{public}s)", label);
  if (inFlight_) {
    Log::app.notice("트리거 무시 — 이미 처리 중");
    return;
  }
  if (!Keychain::get(p_.secrets, Keychain::kSessionToken)) {
    Log::app.notice("트리거 → 로그인 안 됨");
    notify("먼저 로그인해 주세요", "메뉴바의 Mirelo 에서 구글로 로그인할 수 있습니다.", false);
    return;
  }
  // A new trigger works on the field as it is now: what the last write replaced is gone.
  undo_.forget();
  auto self = shared_from_this();
  // Busy from here on, the field read included: the read and the write wait on the main
  // loop, and a second trigger meanwhile would work on the same field.
  inFlight_ = true;
  spawn(trigger(std::move(self), std::move(instruction), std::move(label), useTarn));
}

Task<void> AppDelegate::trigger(std::shared_ptr<AppDelegate> self,
                                std::optional<std::string> instruction, std::string label,
                                bool useTarn) {
  BusyScope busy(self->inFlight_);
  std::optional<FocusedField> read;
  std::optional<Focus::ReadFailure> failure;
  bool otherFailure = false;
  try {
    read = co_await Focus::read(p_);
  } catch (const Focus::ReadFailure& f) {
    failure = f;
  } catch (...) {
    otherFailure = true;
  }
  if (failure && failure->kind() == Focus::ReadFailure::Kind::empty) {
    Log::app.notice("트리거 → 빈 입력창, 새 답글 생성으로 간다");
    if (instruction) {
      nothingToTranslate();
    } else {
      co_await generate(failure->field(), std::move(label));
    }
    co_return;
  }
  if (failure || otherFailure) {
    readFailed(failure ? &*failure : nullptr);
    co_return;
  }

  FocusedField field = std::move(*read);
  std::string draft = field.target();
  const long count = Text::characterCount(draft);
  if (Text::characterCount(Text::trimmed(draft)) < kMinDraftCharacters) {
    Log::app.notice("트리거 → 초안이 사실상 비어 있음(%ld자), 생성으로 간다", count);
    if (instruction) {
      nothingToTranslate();
    } else {
      co_await generate(std::move(field), std::move(label));
    }
    co_return;
  }
  Log::app.info("트리거 → %{public}s 에서 %{public}s으로 %ld자 읽음, 서버 요청", field.appName,
                rawValue(field.readMethod), count);
  Work work = [&p = p_, &kb = headless(), draft, instruction, useTarn] {
    return rewriteStep(p, kb, draft, instruction, useTarn);
  };
  co_await perform(std::move(field), std::move(label), std::move(work));
}

void AppDelegate::readFailed(const Focus::ReadFailure* failure) {
  using Kind = Focus::ReadFailure::Kind;
  if (failure && failure->kind() == Kind::isBrowser) {
    Log::app.info("트리거 → 브라우저는 확장 담당으로 꺼져 있어 물러남");
    return;
  }
  if (failure && failure->kind() == Kind::unreadable) {
    const std::string& appName = failure->appName();
    Log::app.error("트리거 → 입력창을 못 읽음: %{public}s", appName);
    Diagnostics::add({p_.clock.now(), appName, "실패", "—", "입력창을 못 읽음"});
    notify(appName + " 에서는 입력창을 읽지 못했어요",
           "고칠 부분을 드래그해서 선택한 뒤 다시 눌러보세요.", false);
    refreshStatusIcon();
    return;
  }
  auto front = p_.workspace.frontmostApplication();
  std::string bundleID = front && !front->bundleID.empty() ? front->bundleID : "?";
  Log::app.notice("트리거 → 포커스된 입력창 없음 (%{public}s)", bundleID);
  notify("입력창을 찾지 못했어요", "글 쓰는 칸을 한 번 클릭해 커서를 둔 뒤 다시 눌러보세요.",
         false);
}

void AppDelegate::nothingToTranslate() {
  notify("번역할 글이 없습니다", "번역할 글을 입력창에 쓰거나 드래그해 선택한 뒤 눌러보세요.",
         false);
}

Task<void> AppDelegate::generate(FocusedField field, std::string label) {
  auto reading = PageContext::read(p_.accessibility, p_.clock, field);
  if (!reading) {
    Log::app.notice("트리거 → 맥락을 못 읽어 생성 포기 (%{public}s)", field.bundleID);
    notify("답글을 달 원글을 못 찾았어요", "초안을 몇 자 적고 다시 누르면 그 글을 다듬어 드릴게요.",
           false);
    co_return;
  }
  Log::app.info("트리거 → %{public}s 맥락 %ld자로 답글 생성", field.appName,
                Text::characterCount(reading->text));
  Work work = [&p = p_, &kb = headless(), reading = std::move(*reading)] {
    return generateStep(p, kb, reading);
  };
  co_await perform(std::move(field), std::move(label), std::move(work));
}

bool AppDelegate::showProgress(const FocusedField& field, const std::string& label) {
  auto anchor = caret_.anchorRect(p_.accessibility, field);
  if (!anchor) return false;
  caret_.hide();
  caret_.present(label + ".", {anchor->x, anchor->y + anchor->height + kPanelOffset},
                 label + "...");
  caret_.startAnimating(label);
  return true;
}

Task<void> AppDelegate::perform(FocusedField field, std::string label, Work work) {
  const bool panelShown = showProgress(field, label);
  std::optional<Reply> reply;
  std::optional<Api::ApiError> apiError;
  std::string failure;
  try {
    reply = co_await work();
  } catch (const Api::ApiError& e) {
    apiError = e;
    failure = e.description();
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "알 수 없는 오류";
  }
  if (panelShown) caret_.hide();

  if (apiError && apiError->kind() == Api::ApiError::Kind::placeholderDraft) {
    Log::app.notice("트리거 → 초안이 안내 문구였다, 생성으로 넘어간다");
    co_await generate(std::move(field), std::move(label));
    co_return;
  }
  if (!reply) {
    requestFailed(field, failure);
    co_return;
  }
  InsertResult result = co_await Insert::write(p_, reply->text, field);
  written(field, *reply, result);
}

void AppDelegate::written(const FocusedField& field, const Reply& reply,
                          const InsertResult& result) {
  if (auto method = result.method()) {
    Log::app.info("삽입 성공 (%{public}s)", rawValue(*method));
    Diagnostics::add(entry(p_.clock.now(), field, std::string(rawValue(*method)), ""));
    undo_.keep(field, reply.text);
    remember(reply, field);
    return;
  }
  Log::app.error("삽입 전부 실패 — 클립보드에 남김");
  Diagnostics::add(entry(p_.clock.now(), field, "전부 실패", "클립보드에 남김"));
  notify(field.appName + " 에는 넣지 못했어요",
         "답글을 클립보드에 담아뒀습니다. Ctrl+V 로 붙여넣으세요.", false);
}

void AppDelegate::undoLastWrite() {
  if (inFlight_ || !undo_.available()) return;
  // Busy like a trigger: a trigger meanwhile would work on the field being restored.
  inFlight_ = true;
  spawn(undoTask(shared_from_this()));
}

Task<void> AppDelegate::undoTask(std::shared_ptr<AppDelegate> self) {
  BusyScope busy(self->inFlight_);
  static constexpr const char* kOnClipboard =
      "원래 글은 클립보드에 담아뒀습니다. Ctrl+V 로 붙여넣으세요.";
  switch (co_await undo_.undo()) {
    case RewriteUndo::Outcome::restored:
      Log::app.info("되돌리기 → 원래 글로 되돌림");
      break;
    case RewriteUndo::Outcome::changed:
      Log::app.notice("되돌리기 → 글이 이미 바뀌어 클립보드에 남김");
      notify("글이 이미 바뀌어서 되돌리지 않았어요", kOnClipboard, false);
      break;
    case RewriteUndo::Outcome::failed:
      Log::app.error("되돌리기 실패 — 클립보드에 남김");
      notify("되돌리지 못했어요", kOnClipboard, true);
      break;
    case RewriteUndo::Outcome::nothingKept:
      break;
  }
}

void AppDelegate::requestFailed(const FocusedField& field, const std::string& description) {
  Log::api.error("실패: %{public}s", description);
  Diagnostics::add(entry(p_.clock.now(), field, "—", description));
  notify("답글을 만들지 못했어요", description, true);
  // A 401 has just ended the session; the menu must show it at once.
  refreshStatusIcon();
}

void AppDelegate::remember(const Reply& reply, const FocusedField& field) {
  if (!reply.memoryNote) return;
  std::string note = Text::trimmed(*reply.memoryNote);
  if (note.empty()) return;
  std::string title = "[답글] " + field.appName + " · " + Text::prefix(note, kNoteTitleCharacters);
  std::string context = reply.context ? Text::prefix(*reply.context, kIngestContextCharacters) : "";
  headless().ingest(std::move(note), std::move(title), std::move(context), "ko");
}

Task<AppDelegate::Reply> AppDelegate::rewriteStep(platform::Platform p, KnowledgeBase& kb,
                                                  std::string draft,
                                                  std::optional<std::string> instruction,
                                                  bool useTarn) {
  std::optional<Json> knowledge;
  if (useTarn)
    knowledge =
        co_await knowledgeFor(kb, Text::suffix(draft, kRetrievalQueryCharacters), std::nullopt);
  std::string text =
      co_await Api::rewrite(p, std::move(draft), std::move(instruction), std::move(knowledge));
  co_return Reply{std::move(text), std::nullopt, std::nullopt};
}

Task<AppDelegate::Reply> AppDelegate::generateStep(platform::Platform p, KnowledgeBase& kb,
                                                   PageContext::Reading reading) {
  std::optional<Json> knowledge = co_await knowledgeFor(kb, reading.text, reading.recipient);
  Api::Generated generated =
      co_await Api::generate(p, reading.text, std::move(knowledge), std::nullopt);
  co_return Reply{std::move(generated.reply), std::move(generated.memoryNote),
                  std::move(reading.text)};
}

void AppDelegate::notify(const std::string& title, const std::string& body, bool isError) {
  hud_.flash(body.empty() ? title : body, kFlashSeconds);
  p_.notifier.post(freshIdentifier(), title, body);
  if (statusWindow_) statusWindow_->setMessage(body, isError);
  if (onStatusMessage) onStatusMessage(body, isError);
}

void AppDelegate::refreshStatusIcon() {
  statusBar_->refresh();
  if (statusWindow_) {
    statusWindow_->refreshMarks();
    statusWindow_->loadUsage();
  }
  if (onRefreshStatusIcon) onRefreshStatusIcon();
}

void AppDelegate::noteTrust(bool trusted) {
  statusBar_->noteTrust(trusted);
}

void AppDelegate::setupStatusItem(platform::StatusItem& item) {
  statusBar_->attach(item);
  statusBar_->refresh();
}

void AppDelegate::setupStatusWindow(StatusWindow::WindowFactory makeWindow) {
  statusWindow_ = std::make_shared<StatusWindow>(p_, std::move(makeWindow));
  auto& w = *statusWindow_;
  w.onSignIn = [this] { signIn(); };
  w.onSignOut = [this] { signOut(); };
  w.onOpenDashboard = [this] { showDashboard(); };
  w.onShowDiagnostics = [this] { showDiagnostics(); };
  w.onRelaunch = [this] { relaunchNow(); };
  w.onOpenInputMonitoring = [p = p_] { Permissions::open(p, Permissions::Pane::inputMonitoring); };
  // Here the grant is the user turning the desktop's accessibility on: this click is that.
  w.onOpenAccessibility = [p = p_] {
    p.accessibility.isProcessTrusted(true);
    Permissions::open(p, Permissions::Pane::accessibility);
  };
  w.onUndo = [this] { undoLastWrite(); };
  w.canUndo = [this] { return canUndo(); };
  w.isTapDead = [this] { return tapDead_; };
  w.onTrustAnswer = [this](bool trusted) { statusBar_->noteTrust(trusted); };
}

void AppDelegate::reloadTriggerSettings() {
  if (!trigger_) return;
  trigger_->mode = Settings::triggerMode(p_.defaults);
  trigger_->key = Settings::triggerCode(p_.defaults);
  trigger_->disarm();
}

void AppDelegate::signIn() {
  statusBar_->signIn();
}

void AppDelegate::signOut() {
  statusBar_->signOut();
}

void AppDelegate::showDiagnostics() {
  statusBar_->showDiagnostics();
}

void AppDelegate::showWindow() {
  if (statusWindow_) statusWindow_->show();
  if (onShowWindow) onShowWindow();
}

void AppDelegate::showDashboard() {
  if (onShowDashboard) onShowDashboard();
}

void AppDelegate::showOnboarding() {
  launch_->showOnboarding();
}

void AppDelegate::relaunchNow() {
  Permissions::relaunch(p_, [weak = weak_from_this()] {
    if (auto self = weak.lock()) self->quit();
  });
}

void AppDelegate::quit() {
  undo_.forget();
  if (onQuit) onQuit();
}

#include "kb/DashboardWindow.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Log.h"
#include "feedback/Palette.h"
#include "trigger/TriggerKey.h"
#include "trigger/TriggerMode.h"

const char* const DashboardWindow::kBusyProbeScript =
    "return !!(self.MireloIdb && self.MireloIdb.busy && self.MireloIdb.busy());";

namespace {

constexpr const char* kUnknownRequest = "알 수 없는 요청입니다";
constexpr const char* kUnknownMode = "알 수 없는 트리거 방식입니다";
constexpr const char* kUnusableKey = "이 키는 트리거로 쓸 수 없습니다";

// What a file input of the page may pick: Markdown by its extensions, and these types.
const std::vector<std::string> kOpenPatterns = {"*.md", "*.markdown"};
const std::vector<std::string> kOpenTypes = {"text/plain",       "text/*",          "text/csv",
                                             "application/json", "application/pdf", "image/png",
                                             "image/jpeg",       "image/webp",      "image/gif"};

// The member of object under key, or null when object has none.
const Json* member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

// The raw value of E that value names, when it is a string naming one.
template <typename E>
std::optional<E> named(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  return fromRaw<E>(value.get<std::string>());
}

}  // namespace

DashboardWindow::DashboardWindow(platform::Platform platform, TarnBridge& tarn)
    : p_(platform), tarn_(tarn) {}

DashboardWindow::~DashboardWindow() {
  cancelTeardown();
  if (window_) window_->onClosed = nullptr;
}

void DashboardWindow::show() {
  cancelTeardown();
  ++teardownGeneration_;
  if (!window_) build();
  if (!window_) {
    Log::app.error("대시보드 창을 만들 수 없다");
    return;
  }
  auto token = Keychain::get(p_.secrets, Keychain::kSessionToken);
  const std::string shown = window_->view().url();
  const bool live = !shown.empty() && shown != "about:blank";
  if (!live || loadedToken_ != token) {
    load(token);
    loadedToken_ = token;
  }
  isEngineActive_ = true;
  window_->present();
}

void DashboardWindow::build() {
  platform::WebWindowStyle style{"Mirelo", 1100, 760, 720, 520, Palette::cream};
  window_ = p_.webViews.createWindow(style);
  if (!window_) return;
  window_->onClosed = [this] { closed(); };
  platform::WebView& view = window_->view();
  view.addReplyHandler(
      "mireloSettings",
      [this](const platform::ScriptMessage& m, platform::ScriptReply r) { settingsMessage(m, r); });
  view.addReplyHandler("mireloTarn", [this](const platform::ScriptMessage& m,
                                            platform::ScriptReply r) { tarn_.reply(m, r); });
  view.onDownload = [this](const std::string& name, auto answer) {
    download(name, std::move(answer));
  };
  view.onDownloadEnded = [this](std::optional<std::string> failure) { downloadEnded(failure); };
  view.onChooseFiles = [this](bool directories, bool multiple, auto answer) {
    chooseFiles(directories, multiple, std::move(answer));
  };
  view.onOpenWindow = [this](const std::string& url) { openWindow(url); };
}

void DashboardWindow::load(const std::optional<std::string>& token) {
  if (!token) return;
  if (auto url = tarn_.pageURL("/app/", *token)) window_->view().load(*url);
}

void DashboardWindow::closed() {
  loadedToken_.reset();
  ++teardownGeneration_;
  scheduleTeardown(p_.clock.now() + kReleaseDeadlineSeconds, teardownGeneration_);
}

void DashboardWindow::scheduleTeardown(double deadline, int generation) {
  cancelTeardown();
  teardown_ = p_.clock.schedule(kCheckSeconds,
                                [this, alive = std::weak_ptr<int>(alive_), deadline, generation] {
                                  if (!alive.expired()) checkTeardown(deadline, generation);
                                });
}

void DashboardWindow::cancelTeardown() {
  if (teardown_) p_.clock.cancel(*teardown_);
  teardown_.reset();
}

void DashboardWindow::checkTeardown(double deadline, int generation) {
  if (teardownGeneration_ != generation) return;
  teardown_.reset();
  if (p_.clock.now() < deadline && activeDownloads_ >= 1)
    return scheduleTeardown(deadline, generation);
  if (!window_) return finishTeardown();
  spawn(probeThenRelease(deadline, generation));
}

Task<void> DashboardWindow::probeThenRelease(double deadline, int generation) {
  std::weak_ptr<int> alive = alive_;
  if (p_.clock.now() >= deadline) co_return finishTeardown();
  const bool busy = co_await engineIsBusy();
  if (alive.expired() || teardownGeneration_ != generation) co_return;
  if (busy) co_return scheduleTeardown(deadline, generation);
  finishTeardown();
}

// A probe that fails, answers no boolean or does not answer in time counts as not busy.
Task<bool> DashboardWindow::engineIsBusy() {
  Completion<platform::ScriptResult> outcome;
  window_->view().callAsync(
      kBusyProbeScript, Json::object(),
      [outcome](platform::ScriptResult r) mutable { outcome.resolve(std::move(r)); });
  Timer deadline;
  deadline.start(p_.clock, kProbeSeconds, false, [outcome]() mutable {
    outcome.resolve({{}, "timeout"});
  });
  platform::ScriptResult r = co_await outcome;
  co_return !r.failure && r.value && r.value->is_boolean() && r.value->get<bool>();
}

void DashboardWindow::finishTeardown() {
  isEngineActive_ = false;
  if (window_) window_->view().load("about:blank");
  if (onEngineTornDown) onEngineTornDown();
}

void DashboardWindow::settingsMessage(const platform::ScriptMessage& message,
                                      const platform::ScriptReply& reply) {
  if (!message.mainFrame || !tarn_.isDashboardOrigin(message.origin))
    return reply(std::nullopt, "not-allowed");
  const Json* values = member(message.body, "values");
  const Json noValues = Json::object();
  auto type = JsonValue::string(message.body, "type");
  if (type == "get") return reply(triggerValues(), {});
  if (type == "set")
    return setTriggerValues(values && values->is_object() ? *values : noValues, reply);
  reply(std::nullopt, kUnknownRequest);
}

void DashboardWindow::setTriggerValues(const Json& values, const platform::ScriptReply& reply) {
  if (const Json* raw = member(values, "triggerMode")) {
    auto mode = named<TriggerMode>(*raw);
    if (!mode) return reply(std::nullopt, kUnknownMode);
    p_.defaults.set(Settings::kTriggerMode, Json(std::string(rawValue(*mode))));
  }
  if (const Json* raw = member(values, "triggerCode")) {
    auto key = named<TriggerKey>(*raw);
    if (!key) return reply(std::nullopt, kUnusableKey);
    Settings::setTriggerCode(p_.defaults, *key);
  }
  if (onTriggerSettingsChanged) onTriggerSettingsChanged();
  reply(triggerValues(), {});
}

Json DashboardWindow::triggerValues() const {
  return {{"triggerMode", std::string(rawValue(Settings::triggerMode(p_.defaults)))},
          {"triggerCode", std::string(rawValue(Settings::triggerCode(p_.defaults)))}};
}

void DashboardWindow::download(const std::string& suggestedName,
                               std::function<void(std::optional<std::string>)> answer) {
  ++activeDownloads_;
  platform::FileDialog dialog;
  dialog.parent = window_.get();
  dialog.name = suggestedName;
  dialog.directory = p_.ui.downloadsDirectory().value_or("");
  p_.ui.chooseSavePath(dialog, std::move(answer));
}

void DashboardWindow::downloadEnded(const std::optional<std::string>& failure) {
  activeDownloads_ = std::max(activeDownloads_ - 1, 0);
  if (failure) Log::app.error("다운로드 실패: %{public}s", *failure);
}

void DashboardWindow::chooseFiles(bool directories, bool multiple,
                                  std::function<void(std::vector<std::string>)> answer) {
  platform::FileDialog dialog;
  dialog.parent = window_.get();
  dialog.directories = directories;
  dialog.multiple = multiple;
  dialog.patterns = kOpenPatterns;
  dialog.mimeTypes = kOpenTypes;
  p_.ui.chooseOpenPaths(dialog, std::move(answer));
}

void DashboardWindow::openWindow(const std::string& url) {
  if (!p_.workspace.open(url)) Log::app.error("새 창 주소를 브라우저로 열지 못했다");
}

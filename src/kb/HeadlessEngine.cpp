#include "kb/HeadlessEngine.h"

#include <algorithm>
#include <cmath>

#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Log.h"
#include "base/Text.h"

const char* const HeadlessEngine::kRetrievalScript =
    "const r = await self.MireloKbRetrieve.retrieveForPrompt(query, 4, null, {recipient}); "
    "if (!r || (!r.knowledge && !r.facts)) return null; "
    "return {knowledge:r.knowledge, facts:r.facts, "
    "usedChunks:r.usedChunks.map(c=>({docTitle:c.docTitle, score:c.score})), "
    "staleFacts:r.staleFacts};";

const char* const HeadlessEngine::kIngestScript =
    "return await self.MireloKbLocalApi.handle({method:'POST', path:'/kb/ingest', "
    "body:{text, title, source:'reply', context, lang}});";

namespace {

// Whether JSON text can carry every number of value (no NaN or infinity).
bool carriable(const Json& value) {
  if (value.is_number_float()) return std::isfinite(value.get<double>());
  if (value.is_structured()) return std::all_of(value.begin(), value.end(), carriable);
  return true;
}

// Code points, not grapheme clusters: for a log line the two agree closely enough, and counting
// clusters would load the text segmentation tables into memory just for it.
long characters(const Json& object, const char* key) {
  auto text = JsonValue::string(object, key);
  if (!text) return 0;
  return std::count_if(text->begin(), text->end(),
                       [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

}  // namespace

HeadlessEngine::HeadlessEngine(platform::Platform platform, TarnBridge& bridge)
    : p_(platform), bridge_(bridge) {}

HeadlessEngine::~HeadlessEngine() {
  teardown();
}

double HeadlessEngine::backoffSeconds(int failureCount) {
  if (failureCount < 1) return 0;
  return std::min(30.0 * std::pow(2.0, failureCount - 1), 600.0);
}

void HeadlessEngine::ensureLoaded() {
  auto token = Keychain::get(p_.secrets, Keychain::kSessionToken);
  if (!token) return;
  switch (state_) {
    case State::ready:
    case State::loading:
      if (loadedToken_ == token) return;
      break;
    case State::unavailable:
      if (!unavailableSince_) return;
      if (backoffSeconds(failureCount_) > p_.clock.now() - *unavailableSince_) return;
      break;
    case State::idle:
      break;
  }
  load(*token);
}

void HeadlessEngine::load(const std::string& token) {
  const auto url = bridge_.pageURL("/app/kb-headless.html", token);
  if (!url) return;
  if (!webView_) build();
  bridge_.headlessWebView = webView_->identity();
  loadedToken_ = token;
  state_ = State::loading;
  const int generation = ++loadGeneration_;
  Log::app.info("헤드리스 엔진 로드 시작");
  webView_->load(*url);
  p_.clock.schedule(kReadinessSeconds, [this, alive = std::weak_ptr<int>(alive_), generation] {
    if (alive.expired() || loadGeneration_ != generation || state_ != State::loading) return;
    markUnavailable("timeout", "준비 신호가 오지 않았습니다");
  });
}

void HeadlessEngine::build() {
  webView_ = p_.webViews.create(true);
  webView_->addReplyHandler("mireloTarn", [this](const platform::ScriptMessage& m,
                                                 platform::ScriptReply r) { bridge_.reply(m, r); });
  webView_->addHandler("mireloHeadless",
                       [this](const platform::ScriptMessage& m) { onMessage(m); });
  webView_->onMainFrameResponse = [this](int status) {
    if (status == 0 || (status >= 200 && status <= 299)) return true;
    markUnavailable("http", "HTTP " + std::to_string(status));
    return false;
  };
  webView_->onLoadFailed = [this](const std::string& description) {
    markUnavailable("load", description);
  };
}

void HeadlessEngine::onMessage(const platform::ScriptMessage& message) {
  if (!message.mainFrame || !bridge_.isDashboardOrigin(message.origin)) return;
  if (!message.body.is_object() || message.body.empty()) return;
  auto type = JsonValue::string(message.body, "type");
  if (type == "headless-ready") {
    state_ = State::ready;
    failureCount_ = 0;
    unavailableSince_.reset();
    Log::app.notice("헤드리스 엔진 준비됨");
    flushQueue();
  } else if (type == "headless-error") {
    markUnavailable(JsonValue::string(message.body, "code").value_or("unknown"),
                    JsonValue::string(message.body, "detail").value_or(""));
  }
}

void HeadlessEngine::markUnavailable(const std::string& code, const std::string& detail) {
  if (state_ == State::unavailable) return;
  state_ = State::unavailable;
  ++failureCount_;
  unavailableSince_ = p_.clock.now();
  Log::app.error("헤드리스 엔진 사용 불가 (%{public}s) — %{public}s", code, detail);
}

void HeadlessEngine::teardown() {
  if (webView_) {
    webView_->stop();
    webView_->removeHandlers();
  }
  if (!webView_ || bridge_.headlessWebView == webView_->identity())
    bridge_.headlessWebView = nullptr;
  webView_.reset();
  state_ = State::idle;
  loadedToken_.reset();
  failureCount_ = 0;
  unavailableSince_.reset();
  queue_.clear();
}

Task<HeadlessEngine::CallResult> HeadlessEngine::call(std::string script, Json arguments,
                                                      double timeout) {
  if (!webView_) co_return CallResult{{}, "웹 뷰 없음"};
  Completion<CallResult> outcome;
  webView_->callAsync(script, arguments, [outcome](platform::ScriptResult r) mutable {
    outcome.resolve({std::move(r.value), std::move(r.failure)});
  });
  const std::string expired =
      "시한 초과 (" + std::to_string(static_cast<long>(std::trunc(timeout))) + "초)";
  Timer deadline;  // stops with the call, so finished calls leave no timers behind
  deadline.start(p_.clock, timeout, false, [outcome, expired]() mutable {
    outcome.resolve({{}, expired});
  });
  co_return co_await outcome;
}

Task<bool> HeadlessEngine::waitForReadiness(double deadline) {
  std::weak_ptr<int> alive = alive_;
  while (state_ == State::loading && p_.clock.now() < deadline) {
    co_await sleepFor(p_.clock, kPollSeconds);
    if (alive.expired()) co_return false;
  }
  co_return state_ == State::ready&& webView_;
}

Task<std::optional<Json>> HeadlessEngine::retrieve(std::string query,
                                                   std::optional<std::string> recipient) {
  std::weak_ptr<int> alive = alive_;
  std::string trimmed = Text::trimmed(query);
  if (trimmed.empty()) co_return std::nullopt;
  ensureLoaded();
  const double deadline = p_.clock.now() + kRetrievalSeconds;
  if (!co_await waitForReadiness(deadline)) co_return std::nullopt;
  Json arguments = {{"query", trimmed},
                    {"recipient", recipient ? Json(*recipient) : Json(nullptr)}};
  CallResult r = co_await call(kRetrievalScript, std::move(arguments),
                               std::max(deadline - p_.clock.now(), 0.5));
  if (alive.expired() || r.failure || !r.value || !r.value->is_object()) co_return std::nullopt;
  if (!carriable(*r.value)) {
    Log::app.error("타르노 검색 결과를 요청에 실을 수 없는 모양이라 버린다");
    co_return std::nullopt;
  }
  Log::app.info("타르노 검색: 지식 %ld자 · 사실 %ld자", characters(*r.value, "knowledge"),
                characters(*r.value, "facts"));
  co_return std::move(r.value);
}

void HeadlessEngine::ingest(std::string text, std::string title, std::string context,
                            std::string lang) {
  spawn(run({std::move(text), std::move(title), std::move(context), std::move(lang)}));
}

Task<void> HeadlessEngine::run(PendingIngest item) {
  std::weak_ptr<int> alive = alive_;
  if (bridge_.isDashboardActive()) co_return enqueue(std::move(item), "대시보드 사용 중");
  ensureLoaded();
  const double deadline = p_.clock.now() + kIngestSeconds;
  bool ready = co_await waitForReadiness(deadline);
  if (alive.expired()) co_return;
  if (!ready) co_return enqueue(std::move(item), "엔진 없음");
  Json arguments = {
      {"text", item.text}, {"title", item.title}, {"context", item.context}, {"lang", item.lang}};
  CallResult r =
      co_await call(kIngestScript, std::move(arguments), std::max(deadline - p_.clock.now(), 1.0));
  if (alive.expired()) co_return;
  if (r.failure) {
    if (r.failure->find("tarn-busy") != std::string::npos || bridge_.isDashboardActive())
      co_return enqueue(std::move(item), "tarn-busy");
    Log::app.error("타르노 적재 실패: %{public}s", *r.failure);
    co_return;
  }
  auto status = r.value && r.value->is_object() && (*r.value)["status"].is_number_integer()
                    ? (*r.value)["status"].get<long>()
                    : 0L;
  if (status == 200) {
    Log::app.notice("답글에서 배운 것을 타르노에 적었다");
  } else {
    Log::app.error("타르노 적재 실패 — 응답 %ld", status);
  }
}

void HeadlessEngine::enqueue(PendingIngest item, const std::string& reason) {
  queue_.push_back(std::move(item));
  if (queue_.size() > kQueueLimit) queue_.erase(queue_.begin(), queue_.end() - kQueueLimit);
  Log::app.notice("타르노 적재를 미뤄둔다 (%{public}s, 대기 %ld건)", reason,
                  static_cast<long>(queue_.size()));
}

void HeadlessEngine::flushQueue() {
  if (queue_.empty() || bridge_.isDashboardActive()) return;
  std::vector<PendingIngest> items;
  items.swap(queue_);
  Log::app.notice("밀려 있던 타르노 적재 %ld건을 다시 넣는다", static_cast<long>(items.size()));
  spawn(runAll(std::move(items)));
}

Task<void> HeadlessEngine::runAll(std::vector<PendingIngest> items) {
  std::weak_ptr<int> alive = alive_;
  for (auto& item : items) {
    co_await run(std::move(item));
    if (alive.expired()) co_return;
  }
}

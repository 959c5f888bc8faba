#include "platform/linux/CurlHttp.h"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <variant>

namespace linuxport {

using platform::HttpError;
using platform::HttpRequest;
using platform::HttpResponse;

struct CurlHttp::Transfer {
  HttpRequest request;
  HttpResponse response;
  Completion<HttpResponse> completion;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  size_t maxBodyBytes = 0;
  bool tooLarge = false;
  char errorText[CURL_ERROR_SIZE] = {};

  ~Transfer() {
    if (headers) curl_slist_free_all(headers);
    if (easy) curl_easy_cleanup(easy);
  }
};

namespace {

std::once_flag globalInit;

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<CurlHttp::Transfer*>(user);
  size_t n = size * count;
  if (t->response.body.size() + n > t->maxBodyBytes) {
    t->tooLarge = true;
    return 0;  // aborts the transfer
  }
  t->response.body.append(data, n);
  return n;
}

std::string trimmed(std::string s) {
  auto blank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.back()))
    s.pop_back();
  size_t i = 0;
  while (i < s.size() && blank(s[i]))
    ++i;
  return s.substr(i);
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<CurlHttp::Transfer*>(user);
  size_t n = size * count;
  std::string line(data, n);
  // A status line starts a new response (after 100 Continue or a redirect): keep only the last.
  if (line.rfind("HTTP/", 0) == 0) {
    t->response.headers.clear();
    return n;
  }
  auto colon = line.find(':');
  if (colon == std::string::npos) return n;
  std::string name = trimmed(line.substr(0, colon));
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::string value = trimmed(line.substr(colon + 1));
  auto [it, inserted] = t->response.headers.emplace(name, value);
  if (!inserted) it->second += ", " + value;
  return n;
}

void configureMethod(CURL* easy, const HttpRequest& r) {
  if (r.method == "GET") {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    return;
  }
  if (r.method == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    return;
  }
  if (r.method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r.method.c_str());
  if (r.method == "POST" || !r.body.empty()) {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, r.body.data());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
  }
}

curl_slist* headerList(const HttpRequest& r) {
  curl_slist* list = nullptr;
  for (const auto& [name, value] : r.headers)
    list = curl_slist_append(list, (name + (value.empty() ? ";" : ": " + value)).c_str());
  // Sends the body at once instead of waiting for a 100 Continue first.
  return curl_slist_append(list, "Expect:");
}

void configure(CurlHttp::Transfer& t) {
  CURL* e = t.easy;
  const HttpRequest& r = t.request;
  curl_easy_setopt(e, CURLOPT_URL, r.url.c_str());
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(r.timeoutSeconds * 1000.0));
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  // A redirect never leaves https: a draft sent encrypted is never resent in the clear.
  bool secure = g_ascii_strncasecmp(r.url.c_str(), "https:", 6) == 0;
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(t.maxBodyBytes));
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorText);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
  configureMethod(e, r);
  t.headers = headerList(r);
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headers);
}

std::string tooLargeText(size_t maxBodyBytes) {
  return "서버 응답이 너무 큽니다 (" + std::to_string(maxBodyBytes / (1024 * 1024)) + " MB 초과)";
}

}  // namespace

CurlHttp::CurlHttp(Clock& clock, size_t maxBodyBytes)
    : clock_(clock), maxBodyBytes_(maxBodyBytes) {}

// Started with the first request: a process that never sends one loads no TLS library.
void CurlHttp::startWorker() {
  if (multi_) return;
  std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  multi_ = curl_multi_init();
  worker_ = std::thread([this] { run(); });
}

CurlHttp::~CurlHttp() {
  if (!multi_) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  curl_multi_wakeup(multi_);
  worker_.join();
  for (auto& t : active_)
    curl_multi_remove_handle(multi_, t->easy);
  active_.clear();
  queued_.clear();
  curl_multi_cleanup(multi_);
}

Task<HttpResponse> CurlHttp::send(HttpRequest request) {
  auto t = std::make_unique<Transfer>();
  t->request = std::move(request);
  t->maxBodyBytes = maxBodyBytes_;
  Completion<HttpResponse> done = t->completion;
  startWorker();
  {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(t));
  }
  curl_multi_wakeup(multi_);
  co_return co_await done;
}

void CurlHttp::run() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    startQueued();
    int running = 0;
    curl_multi_perform(multi_, &running);
    finishDone();
    curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
  }
}

void CurlHttp::startQueued() {
  std::deque<std::unique_ptr<Transfer>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(queued_);
  }
  for (auto& t : batch) {
    t->easy = curl_easy_init();
    if (!t->easy) {
      deliver(*t, CURLE_FAILED_INIT);
      continue;
    }
    configure(*t);
    curl_easy_setopt(t->easy, CURLOPT_PRIVATE, t.get());
    curl_multi_add_handle(multi_, t->easy);
    active_.push_back(std::move(t));
  }
}

void CurlHttp::finishDone() {
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
    if (msg->msg != CURLMSG_DONE) continue;
    auto it = std::find_if(active_.begin(), active_.end(),
                           [&](const auto& t) { return t->easy == msg->easy_handle; });
    if (it == active_.end()) continue;
    CURLcode result = msg->data.result;
    curl_multi_remove_handle(multi_, (*it)->easy);
    deliver(**it, result);
    active_.erase(it);
  }
}

void CurlHttp::deliver(Transfer& t, CURLcode result) {
  using Outcome = std::variant<HttpResponse, std::exception_ptr>;
  Outcome outcome;
  if (result == CURLE_OK) {
    long status = 0;
    curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
    t.response.status = status;
    outcome = std::move(t.response);
  } else if (t.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
    outcome = std::make_exception_ptr(HttpError(tooLargeText(t.maxBodyBytes)));
  } else {
    std::string reason = t.errorText[0] ? t.errorText : curl_easy_strerror(result);
    outcome = std::make_exception_ptr(HttpError("서버에 연결하지 못했습니다 (" + reason + ")"));
  }
  clock_.post([done = std::move(t.completion), outcome = std::move(outcome)]() mutable {
    if (auto* response = std::get_if<HttpResponse>(&outcome)) {
      done.resolve(std::move(*response));
    } else {
      done.fail(std::get<std::exception_ptr>(outcome));
    }
  });
}

}  // namespace linuxport

#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include <curl/curl.h>

#include "base/Clock.h"
#include "platform/Http.h"

namespace linuxport {

// HTTP through libcurl. One worker thread drives every transfer at once (curl's multi
// interface); each result is posted back to the main context through the clock, so an awaiting
// task resumes there. Responses larger than maxBodyBytes are refused, never buffered whole.
class CurlHttp : public platform::Http {
 public:
  static constexpr size_t kMaxBodyBytes = 10 * 1024 * 1024;

  explicit CurlHttp(Clock& clock, size_t maxBodyBytes = kMaxBodyBytes);
  // Stops the worker; transfers still running are abandoned without resuming their tasks.
  ~CurlHttp() override;
  CurlHttp(const CurlHttp&) = delete;
  CurlHttp& operator=(const CurlHttp&) = delete;

  Task<platform::HttpResponse> send(platform::HttpRequest request) override;

  struct Transfer;  // one request in flight, owned by the worker

 private:
  void startWorker();
  void run();
  void startQueued();
  void finishDone();
  void deliver(Transfer& t, CURLcode result);

  Clock& clock_;
  size_t maxBodyBytes_;
  std::mutex mutex_;
  std::deque<std::unique_ptr<Transfer>> queued_;
  bool stopping_ = false;
  CURLM* multi_ = nullptr;
  // Transfers the worker is driving; touched only by the worker (and the destructor after it).
  std::deque<std::unique_ptr<Transfer>> active_;
  std::thread worker_;
};

}  // namespace linuxport

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "account/LoopbackRequest.h"
#include "base/Async.h"
#include "base/Clock.h"

// A one-shot HTTP listener on 127.0.0.1 that receives the browser's redirect at the end of
// sign-in. The accept loop runs on a thread of its own; the result (or the time-out) is
// delivered once, on the main context.
class LoopbackListener {
 public:
  using Callback = LoopbackRequest::Callback;

  static constexpr double kTimeoutSeconds = 300;

  // Opens the listening socket on a port the system picks; throws Auth::AuthError (google).
  explicit LoopbackListener(Clock& clock);
  // Stops the accept loop and closes every socket; an unfinished wait is never resumed.
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  std::uint16_t port() const { return port_; }

  // Waits for a request carrying "code" or "error", or throws Auth::AuthError (cancelled) after
  // the time-out. Called once.
  Task<Callback> waitForCallback();

  // The whole HTTP response carrying a page fragment (byte-exact Content-Length).
  static std::string response(std::string_view fragment);
  // What one request's bytes ask for; absent when they are not a readable request line.
  static std::optional<Callback> parseRequest(std::string_view bytes);

  struct Shared;  // what the accept loop shares with the listener

 private:
  Clock& clock_;
  std::uint16_t port_ = 0;
  std::shared_ptr<Shared> shared_;
  std::thread loop_;
  Timer timeout_;
};

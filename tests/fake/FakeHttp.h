#pragma once

#include <functional>
#include <vector>

#include "base/Clock.h"
#include "platform/Http.h"

namespace fake {

// Answers requests from a scripted handler, optionally after a delay on the clock.
class FakeHttp : public platform::Http {
 public:
  explicit FakeHttp(Clock& clock) : clock_(clock) {}
  Task<platform::HttpResponse> send(platform::HttpRequest request) override;

  // Returns the response, or throws platform::HttpError for a transport failure.
  std::function<platform::HttpResponse(const platform::HttpRequest&)> handler;
  double delaySeconds = 0;
  std::vector<platform::HttpRequest> requests;

 private:
  Clock& clock_;
};

}  // namespace fake

#pragma once

#include <functional>
#include <vector>

#include "platform/Http.h"

namespace fake {

// Answers requests from a scripted handler.
class FakeHttp : public platform::Http {
 public:
  Task<platform::HttpResponse> send(platform::HttpRequest request) override {
    requests.push_back(request);
    if (!handler) throw platform::HttpError("서버에 연결하지 못했습니다 (no handler)");
    co_return handler(request);
  }

  // Returns the response, or throws platform::HttpError for a transport failure.
  std::function<platform::HttpResponse(const platform::HttpRequest&)> handler;
  std::vector<platform::HttpRequest> requests;
};

}  // namespace fake

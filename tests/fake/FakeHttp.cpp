#include "fake/FakeHttp.h"

namespace fake {

Task<platform::HttpResponse> FakeHttp::send(platform::HttpRequest request) {
  requests.push_back(request);
  if (delaySeconds > 0) co_await sleepFor(clock_, delaySeconds);
  if (!handler) throw platform::HttpError("서버에 연결하지 못했습니다 (no handler)");
  co_return handler(request);
}

}  // namespace fake

#pragma once

#include <map>
#include <stdexcept>
#include <string>

#include "base/Async.h"

namespace platform {

struct HttpRequest {
  std::string method = "GET";
  std::string url;
  std::map<std::string, std::string> headers;
  std::string body;
  double timeoutSeconds = 60;
};

struct HttpResponse {
  long status = 0;                             // 0 when no HTTP response arrived
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

// A transport failure; what() is the Korean description shown to the user.
class HttpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Http {
 public:
  virtual ~Http() = default;
  // Completes on the main context; throws HttpError when no response arrived.
  virtual Task<HttpResponse> send(HttpRequest request) = 0;
};

}  // namespace platform

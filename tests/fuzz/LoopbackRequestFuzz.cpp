// Any bytes a local program sends the sign-in listener read as a request or as absent.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "account/LoopbackRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto request = LoopbackRequest::parse(bytes);
  // A request line names its target: bytes without a line end never read as a request.
  if (request && bytes.find("\r\n") == std::string_view::npos) __builtin_trap();
  return 0;
}

#pragma once

#include <optional>
#include <string>
#include <string_view>

// What the browser's redirect to the loopback listener carries. Pure: the bytes come from any
// local program, so every input reads as a request or as absent.
namespace LoopbackRequest {

struct Callback {
  std::optional<std::string> code;
  std::optional<std::string> state;
  std::optional<std::string> error;
};

// What one request's bytes ask for; absent when they are not a readable request line.
std::optional<Callback> parse(std::string_view bytes);

}  // namespace LoopbackRequest

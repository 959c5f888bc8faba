#pragma once

#include <optional>

#include "field/InsertMethod.h"

// The outcome of a write: the verified method, or the text left on the clipboard.
class InsertResult {
 public:
  static InsertResult inserted(InsertMethod method) { return InsertResult(method); }
  static InsertResult leftOnClipboard() { return InsertResult(std::nullopt); }

  bool isInserted() const { return method_.has_value(); }
  bool isLeftOnClipboard() const { return !method_; }
  // The method that wrote; absent when the text was left on the clipboard.
  std::optional<InsertMethod> method() const { return method_; }
  bool operator==(const InsertResult&) const = default;

 private:
  explicit InsertResult(std::optional<InsertMethod> method) : method_(method) {}
  std::optional<InsertMethod> method_;
};

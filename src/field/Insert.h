#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Async.h"
#include "field/FocusedField.h"
#include "field/InsertResult.h"
#include "platform/Platform.h"

// Writing the answer back into the field that was read: each method in the order that
// suits the field, verified, remembered per application; else the text is left on the
// clipboard for the user.
namespace Insert {

inline constexpr double kSelectAllWait = 0.02;
inline constexpr double kVerifyPollInterval = 0.04;
inline constexpr int kVerifyPolls = 9;

Task<InsertResult> write(platform::Platform services, std::string text, FocusedField field);

// The methods a field allows, before the application's remembered method is put first.
std::vector<InsertMethod> baseOrder(const FocusedField& field);
// Runs of whitespace become one blank; both ends are trimmed.
std::string normalize(std::string_view text);

}  // namespace Insert

#pragma once

#include <functional>
#include <string>

// Whether Mirelo may use the desktop's accessibility: the accessibility bus answers and its
// registry lists applications. Each session-bus question is bounded by kBusTimeoutMs.
namespace AtspiTrust {

inline constexpr int kBusTimeoutMs = 500;
// The whole asynchronous check, connecting to the accessibility bus included.
inline constexpr int kCheckTimeoutMs = 3 * kBusTimeoutMs;

// The accessibility bus launcher answers with an address (never starts a stray session bus).
bool busAnswers();
// The bus answers and the registry lists applications. With prompt, first turns
// org.a11y.Status.IsEnabled on (a persistent setting of the user's desktop, read by browsers
// and Qt when they start): call it with prompt only on the user's grant.
bool trusted(bool prompt);
// trusted(false) over GDBus without blocking: answer runs on the main context within
// kCheckTimeoutMs, never from within this call. Without available, answers false.
void check(bool available, std::function<void(bool)> answer);
// What waking does here, for the diagnosis.
std::string wakeDescription();

}  // namespace AtspiTrust

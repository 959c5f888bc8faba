#pragma once

#include <string>

// Whether Mirelo may use the desktop's accessibility: the accessibility bus answers and its
// registry lists applications. Each session-bus question is bounded by kBusTimeoutMs.
namespace AtspiTrust {

inline constexpr int kBusTimeoutMs = 500;

// The accessibility bus launcher answers with an address (never starts a stray session bus).
bool busAnswers();
// The bus answers and the registry lists applications. With prompt, first turns
// org.a11y.Status.IsEnabled on (a persistent setting of the user's desktop, read by browsers
// and Qt when they start): call it with prompt only on the user's grant.
bool trusted(bool prompt);
// What waking does here, for the diagnosis.
std::string wakeDescription();

}  // namespace AtspiTrust

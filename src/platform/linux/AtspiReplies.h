#pragma once

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Accessibility.h"

// Reading the replies of AT-SPI calls made over an application's own connection. Any program
// on the accessibility bus may answer anything: each reply's signature is checked before a
// value is read, and a reply of another type reads as absent.
namespace AtspiReplies {

// One object of the application's cache.
struct Item {
  std::string bus, path, parentBus, parentPath;
  std::int32_t index = -1, childCount = 0;
  bool text = false, component = false;
  std::string name;
  AtspiRole role = ATSPI_ROLE_INVALID;
  std::uint64_t states = 0;
};

// Cache.GetItems: a((so)(so)(so)iiassusau).
std::optional<std::vector<Item>> items(DBusMessage* reply);
// A reply of s.
std::optional<std::string> string(DBusMessage* reply);
// A reply of v holding an i.
std::optional<dbus_int32_t> variantInt(DBusMessage* reply);
// A reply of (iiii).
std::optional<platform::Rect> rect(DBusMessage* reply);
// The value of key in a reply of a{ss}.
std::optional<std::string> attribute(DBusMessage* reply, const char* key);
// The object of a reply of (so).
std::optional<std::pair<std::string, std::string>> objectRef(DBusMessage* reply);

// What describe asks of an object the cache did not hold, in this order.
enum class Ask : std::size_t { role, states, interfaces, name, childCount, count };
// Fills item's field of ask from its reply (u, au, as, v of s, v of i); false when the reply
// is of another type (the field is then left as it was).
bool describe(Item& item, Ask ask, DBusMessage* reply);

}  // namespace AtspiReplies

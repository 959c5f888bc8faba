#include "platform/linux/AtspiReplies.h"

#include <cstring>
#include <tuple>

namespace AtspiReplies {

namespace {

constexpr const char* kItemsSignature = "a((so)(so)(so)iiassusau)";

bool hasSignature(DBusMessage* reply, const char* signature) {
  const char* actual = reply ? dbus_message_get_signature(reply) : nullptr;
  return actual && std::strcmp(actual, signature) == 0;
}

// The first argument of a reply whose signature is signature.
bool first(DBusMessage* reply, const char* signature, DBusMessageIter* it) {
  return hasSignature(reply, signature) && dbus_message_iter_init(reply, it);
}

// The basic value under the iterator, whose type the caller has checked.
template <typename T>
T peek(DBusMessageIter* it) {
  T value{};
  dbus_message_iter_get_basic(it, &value);
  return value;
}

// The basic value under the iterator, and on to the next.
template <typename T>
T basic(DBusMessageIter* it) {
  T value = peek<T>(it);
  dbus_message_iter_next(it);
  return value;
}

std::pair<std::string, std::string> ref(DBusMessageIter* it) {
  DBusMessageIter inner;
  dbus_message_iter_recurse(it, &inner);
  dbus_message_iter_next(it);
  std::string bus = basic<const char*>(&inner);
  return {std::move(bus), basic<const char*>(&inner)};
}

template <typename F>
void forEachElement(DBusMessageIter* it, F visit) {
  DBusMessageIter array;
  dbus_message_iter_recurse(it, &array);
  dbus_message_iter_next(it);
  while (dbus_message_iter_get_arg_type(&array) != DBUS_TYPE_INVALID) {
    visit(&array);
    dbus_message_iter_next(&array);
  }
}

// An "as" under the iterator.
void interfacesFrom(DBusMessageIter* it, Item& item) {
  forEachElement(it, [&](DBusMessageIter* i) {
    const char* name = peek<const char*>(i);
    if (std::strcmp(name, "org.a11y.atspi.Text") == 0) item.text = true;
    if (std::strcmp(name, "org.a11y.atspi.Component") == 0) item.component = true;
  });
}

// An "au" under the iterator: the first two words of the state bits.
std::uint64_t statesFrom(DBusMessageIter* it) {
  std::uint64_t states = 0;
  int word = 0;
  forEachElement(it, [&](DBusMessageIter* i) {
    auto bits = peek<dbus_uint32_t>(i);
    if (word < 2) states |= std::uint64_t(bits) << (32 * word++);
  });
  return states;
}

Item parseItem(DBusMessageIter* entry) {
  DBusMessageIter it;
  dbus_message_iter_recurse(entry, &it);
  Item item;
  std::tie(item.bus, item.path) = ref(&it);
  ref(&it);  // the application
  std::tie(item.parentBus, item.parentPath) = ref(&it);
  item.index = basic<dbus_int32_t>(&it);
  item.childCount = basic<dbus_int32_t>(&it);
  interfacesFrom(&it, item);
  item.name = basic<const char*>(&it);
  item.role = static_cast<AtspiRole>(basic<dbus_uint32_t>(&it));
  basic<const char*>(&it);  // the description
  item.states = statesFrom(&it);
  return item;
}

// The value inside a reply of v, when it is of type.
bool variantOf(DBusMessage* reply, int type, DBusMessageIter* inner) {
  DBusMessageIter it;
  if (!first(reply, "v", &it)) return false;
  dbus_message_iter_recurse(&it, inner);
  return dbus_message_iter_get_arg_type(inner) == type;
}

}  // namespace

std::optional<std::vector<Item>> items(DBusMessage* reply) {
  DBusMessageIter it;
  if (!first(reply, kItemsSignature, &it)) return std::nullopt;
  std::vector<Item> items;
  forEachElement(&it, [&](DBusMessageIter* entry) { items.push_back(parseItem(entry)); });
  return items;
}

std::optional<std::string> string(DBusMessage* reply) {
  DBusMessageIter it;
  if (!first(reply, "s", &it)) return std::nullopt;
  return std::string(basic<const char*>(&it));
}

std::optional<dbus_int32_t> variantInt(DBusMessage* reply) {
  DBusMessageIter inner;
  if (!variantOf(reply, DBUS_TYPE_INT32, &inner)) return std::nullopt;
  return basic<dbus_int32_t>(&inner);
}

std::optional<platform::Rect> rect(DBusMessage* reply) {
  DBusMessageIter it, box;
  if (!first(reply, "(iiii)", &it)) return std::nullopt;
  dbus_message_iter_recurse(&it, &box);
  double v[4] = {};
  for (double& d : v)
    d = basic<dbus_int32_t>(&box);
  return platform::Rect{v[0], v[1], v[2], v[3]};
}

std::optional<std::string> attribute(DBusMessage* reply, const char* key) {
  DBusMessageIter it;
  if (!first(reply, "a{ss}", &it)) return std::nullopt;
  std::optional<std::string> found;
  forEachElement(&it, [&](DBusMessageIter* entry) {
    DBusMessageIter pair;
    dbus_message_iter_recurse(entry, &pair);
    std::string k = basic<const char*>(&pair);
    if (k == key) found = basic<const char*>(&pair);
  });
  return found;
}

std::optional<std::pair<std::string, std::string>> objectRef(DBusMessage* reply) {
  DBusMessageIter it;
  if (!first(reply, "(so)", &it)) return std::nullopt;
  return ref(&it);
}

bool describe(Item& item, Ask ask, DBusMessage* reply) {
  DBusMessageIter it;
  switch (ask) {
    case Ask::role:
      if (!first(reply, "u", &it)) return false;
      item.role = AtspiRole(basic<dbus_uint32_t>(&it));
      return true;
    case Ask::states:
      if (!first(reply, "au", &it)) return false;
      item.states = statesFrom(&it);
      return true;
    case Ask::interfaces:
      if (!first(reply, "as", &it)) return false;
      interfacesFrom(&it, item);
      return true;
    case Ask::name:
      if (!variantOf(reply, DBUS_TYPE_STRING, &it)) return false;
      item.name = basic<const char*>(&it);
      return true;
    case Ask::childCount:
      if (!variantOf(reply, DBUS_TYPE_INT32, &it)) return false;
      item.childCount = basic<dbus_int32_t>(&it);
      return true;
    case Ask::count:
      break;
  }
  return false;
}

}  // namespace AtspiReplies

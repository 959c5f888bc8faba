// Replies of any type, read by every reader of AT-SPI replies: none may crash, and a reader
// reads only a reply of its own signature.
#include <dbus/dbus.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/linux/AtspiReplies.h"

namespace {

// The signatures the readers expect, and near misses of them.
constexpr const char* kSignatures[] = {
    "a((so)(so)(so)iiassusau)",
    "a((so)(so)(so)iiasusuas)",
    "a((so)(so)(so)ii)",
    "as",
    "au",
    "ay",
    "u",
    "s",
    "o",
    "i",
    "v",
    "(iiii)",
    "(iii)",
    "(ssss)",
    "a{ss}",
    "a{sv}",
    "a{su}",
    "(so)",
    "(ss)",
    "(os)",
    "aas",
    "a(so)",
    "b",
    "d",
    "t",
    "x",
};

// Reads the fuzzer's bytes one at a time, zero once they run out.
struct Bytes {
  const std::uint8_t* data;
  size_t size;
  std::uint8_t next() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
};

void fill(DBusMessageIter* out, DBusSignatureIter* sig, Bytes& in, int depth);

void fillOne(DBusMessageIter* out, DBusSignatureIter* sig, Bytes& in, int depth) {
  int type = dbus_signature_iter_get_current_type(sig);
  if (dbus_type_is_basic(type)) {
    std::uint64_t number = 0;
    for (int i = 0; i < 8; ++i)
      number = number << 8 | in.next();
    std::string text(in.next() % 8, 'a' + in.next() % 26);
    const char* path = in.next() % 2 ? "/org/a11y/atspi/null" : "/a";
    const char* str = type == DBUS_TYPE_OBJECT_PATH ? path
                      : type == DBUS_TYPE_SIGNATURE ? "s"
                                                    : text.c_str();
    if (type == DBUS_TYPE_BOOLEAN) number &= 1;
    if (type == DBUS_TYPE_STRING || type == DBUS_TYPE_OBJECT_PATH || type == DBUS_TYPE_SIGNATURE) {
      dbus_message_iter_append_basic(out, type, &str);
    } else {
      dbus_message_iter_append_basic(out, type, &number);  // little-endian: low bytes first
    }
    return;
  }
  DBusSignatureIter inner;
  DBusMessageIter container;
  if (type == DBUS_TYPE_VARIANT) {
    const char* contained = depth > 3 ? "i" : kSignatures[in.next() % std::size(kSignatures)];
    dbus_message_iter_open_container(out, DBUS_TYPE_VARIANT, contained, &container);
    dbus_signature_iter_init(&inner, contained);
    fill(&container, &inner, in, depth + 1);
    dbus_message_iter_close_container(out, &container);
    return;
  }
  dbus_signature_iter_recurse(sig, &inner);
  if (type == DBUS_TYPE_ARRAY) {
    char* element = dbus_signature_iter_get_signature(&inner);
    dbus_message_iter_open_container(out, DBUS_TYPE_ARRAY, element, &container);
    dbus_free(element);
    int count = depth > 3 ? 0 : in.next() % 4;
    for (int i = 0; i < count; ++i) {
      DBusSignatureIter each = inner;
      fillOne(&container, &each, in, depth + 1);
    }
  } else {
    int kind = type == DBUS_TYPE_DICT_ENTRY ? DBUS_TYPE_DICT_ENTRY : DBUS_TYPE_STRUCT;
    dbus_message_iter_open_container(out, kind, nullptr, &container);
    fill(&container, &inner, in, depth + 1);
  }
  dbus_message_iter_close_container(out, &container);
}

// Appends one value for each complete type of the signature.
void fill(DBusMessageIter* out, DBusSignatureIter* sig, Bytes& in, int depth) {
  do {
    fillOne(out, sig, in, depth);
  } while (dbus_signature_iter_next(sig));
}

void readEveryWay(DBusMessage* reply) {
  AtspiReplies::items(reply);
  AtspiReplies::string(reply);
  AtspiReplies::variantInt(reply);
  AtspiReplies::rect(reply);
  AtspiReplies::attribute(reply, "xml-roles");
  AtspiReplies::objectRef(reply);
  for (size_t ask = 0; ask < size_t(AtspiReplies::Ask::count); ++ask) {
    AtspiReplies::Item item;
    AtspiReplies::describe(item, AtspiReplies::Ask(ask), reply);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  // The bytes as a whole message off the wire (libdbus checks them before anyone reads).
  DBusError error;
  dbus_error_init(&error);
  if (DBusMessage* wire = dbus_message_demarshal(reinterpret_cast<const char*>(data),
                                                 static_cast<int>(size), &error)) {
    readEveryWay(wire);
    dbus_message_unref(wire);
  }
  dbus_error_free(&error);

  // The bytes as the values of a well-formed reply of some signature.
  Bytes in{data, size};
  DBusMessage* reply = dbus_message_new(DBUS_MESSAGE_TYPE_METHOD_RETURN);
  const char* signature = kSignatures[in.next() % std::size(kSignatures)];
  DBusMessageIter out;
  DBusSignatureIter sig;
  dbus_message_iter_init_append(reply, &out);
  dbus_signature_iter_init(&sig, signature);
  fill(&out, &sig, in, 0);
  readEveryWay(reply);
  dbus_message_unref(reply);
  return 0;
}

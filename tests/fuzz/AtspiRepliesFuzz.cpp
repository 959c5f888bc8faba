// Replies of any type, read by every reader of AT-SPI replies: none may crash, and a reader
// reads only a reply of its own signature.
#include <dbus/dbus.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "platform/linux/AtspiReplies.h"

namespace {

// The signatures the readers expect and near misses of them, one after another, the basic
// ones first.
constexpr const char* kSignatures =
    "iusobdtxva((so)(so)(so)iiassusau)a((so)(so)(so)iiasusuas)a((so)(so)(so)ii)asauay(iiii)(iii)"
    "(ssss)a{ss}a{sv}a{su}(so)(ss)(os)aasa(so)";

// One of the first `among` signatures, chosen by the fuzzer's bytes.
DBusSignatureIter pick(FuzzedDataProvider& in, int among) {
  DBusSignatureIter it;
  dbus_signature_iter_init(&it, kSignatures);
  for (int n = in.ConsumeIntegralInRange(0, among - 1); n > 0 && dbus_signature_iter_next(&it);)
    --n;
  return it;
}

void appendBasic(DBusMessageIter* out, int type, FuzzedDataProvider& in) {
  std::uint64_t number = in.ConsumeIntegral<std::uint64_t>();  // little-endian: low bytes first
  if (type == DBUS_TYPE_BOOLEAN) number &= 1;
  std::string text(in.ConsumeIntegralInRange(0, 7), 'a' + in.ConsumeIntegralInRange(0, 25));
  const char* str = type == DBUS_TYPE_OBJECT_PATH ? (number % 2 ? "/org/a11y/atspi/null" : "/a")
                    : type == DBUS_TYPE_SIGNATURE ? "s"
                                                  : text.c_str();
  dbus_message_iter_append_basic(
      out, type, dbus_type_is_fixed(type) ? static_cast<const void*>(&number) : &str);
}

// Appends one value of the complete type at sig, drawn from the fuzzer's bytes: an array holds
// a few of its element, a variant one value of any signature, a struct each of its members.
void fill(DBusMessageIter* out, DBusSignatureIter sig, FuzzedDataProvider& in, int depth) {
  const int type = dbus_signature_iter_get_current_type(&sig);
  if (dbus_type_is_basic(type)) return appendBasic(out, type, in);
  DBusSignatureIter inner = type == DBUS_TYPE_VARIANT ? pick(in, depth > 3 ? 8 : 26) : sig;
  if (type != DBUS_TYPE_VARIANT) dbus_signature_iter_recurse(&sig, &inner);
  const bool members = type == DBUS_TYPE_STRUCT || type == DBUS_TYPE_DICT_ENTRY;
  char* contained = members ? nullptr : dbus_signature_iter_get_signature(&inner);
  DBusMessageIter container;
  dbus_message_iter_open_container(out, type, contained, &container);
  dbus_free(contained);
  int count = type != DBUS_TYPE_ARRAY ? 1 : depth > 3 ? 0 : in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < count; ++i) {
    DBusSignatureIter each = inner;
    do {
      fill(&container, each, in, depth + 1);
    } while (members && dbus_signature_iter_next(&each));
  }
  dbus_message_iter_close_container(out, &container);
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
  // The bytes as the values of a well-formed reply of some signature: libdbus checks a reply
  // off the wire before anyone reads it, so only its values and its type vary.
  FuzzedDataProvider in(data, size);
  DBusMessage* reply = dbus_message_new(DBUS_MESSAGE_TYPE_METHOD_RETURN);
  DBusMessageIter out;
  dbus_message_iter_init_append(reply, &out);
  fill(&out, pick(in, 26), in, 0);
  readEveryWay(reply);
  dbus_message_unref(reply);
  return 0;
}

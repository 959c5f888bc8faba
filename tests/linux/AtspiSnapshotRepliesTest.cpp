// The bulk snapshot against an application that answers with the wrong types: a program on
// the accessibility bus may answer anything, and Mirelo must neither crash nor read it.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/linux/AtspiSnapshot.h"

namespace {

using platform::AXValue;
using platform::Rect;

constexpr const char* kRoot = "/org/a11y/atspi/accessible/root";

GVariant* item(const char* path, const char* parent, int index, int children, const char* name,
               AtspiRole role, bool text) {
  GVariantBuilder interfaces;
  g_variant_builder_init(&interfaces, G_VARIANT_TYPE("as"));
  g_variant_builder_add(&interfaces, "s", "org.a11y.atspi.Accessible");
  g_variant_builder_add(&interfaces, "s", "org.a11y.atspi.Component");
  if (text) g_variant_builder_add(&interfaces, "s", "org.a11y.atspi.Text");
  GVariantBuilder states;
  g_variant_builder_init(&states, G_VARIANT_TYPE("au"));
  g_variant_builder_add(&states, "u", 0u);
  g_variant_builder_add(&states, "u", 0u);
  return g_variant_new("((so)(so)(so)iiassusau)", ":1.1", path, ":1.1", kRoot, ":1.1", parent,
                       index, children, &interfaces, name, guint32(role), "", &states);
}

// An application whose root holds a frame of three labels: "/ok" answers as it should,
// "/wrong" answers its text and extents with other types, and "/bad" (missing from the cache)
// answers every question about itself with another type.
GVariant* answer(const std::string& path, const std::string& method, GVariant* body) {
  if (method == "GetItems") {
    GVariantBuilder items;
    g_variant_builder_init(&items, G_VARIANT_TYPE("a((so)(so)(so)iiassusau)"));
    g_variant_builder_add_value(
        &items, item(kRoot, "/org/a11y/atspi/null", -1, 1, "앱", ATSPI_ROLE_APPLICATION, false));
    g_variant_builder_add_value(&items, item("/frame", kRoot, 0, 3, "창", ATSPI_ROLE_FRAME, false));
    g_variant_builder_add_value(&items, item("/ok", "/frame", 0, 0, "", ATSPI_ROLE_LABEL, true));
    g_variant_builder_add_value(&items, item("/wrong", "/frame", 1, 0, "", ATSPI_ROLE_LABEL, true));
    return g_variant_new("(@a((so)(so)(so)iiassusau))", g_variant_builder_end(&items));
  }
  if (method == "GetChildAtIndex") {
    static const char* kChildren[] = {"/ok", "/wrong", "/bad"};
    gint32 i = 0;
    g_variant_get(body, "(i)", &i);
    return g_variant_new("((so))", ":1.1", kChildren[i % 3]);
  }
  bool good = path == "/ok";
  const char* strings[] = {"x", nullptr};
  if (method == "GetText") return good ? g_variant_new("(s)", "정상 글") : g_variant_new("(i)", 7);
  if (method == "GetExtents")
    return good ? g_variant_new("((iiii))", 1, 2, 3, 4) : g_variant_new("(^as)", strings);
  if (method == "GetRole" || method == "GetState") return g_variant_new("(^as)", strings);
  if (method == "GetInterfaces")
    return g_variant_new(
        "(@au)", g_variant_new_fixed_array(G_VARIANT_TYPE_UINT32, strings, 2, sizeof(guint32)));
  if (method == "GetAttributes") return g_variant_new("(^as)", strings);
  return g_variant_new("(v)", g_variant_new_double(1.5));  // Properties.Get: Name, ChildCount
}

GDBusMessage* serve(GDBusConnection* connection, GDBusMessage* message, gboolean incoming,
                    gpointer) {
  if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL)
    return message;
  GDBusMessage* reply = g_dbus_message_new_method_reply(message);
  g_dbus_message_set_body(
      reply, answer(g_dbus_message_get_path(message), g_dbus_message_get_member(message),
                    g_dbus_message_get_body(message)));
  g_dbus_connection_send_message(connection, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr,
                                 nullptr);
  g_object_unref(reply);
  g_object_unref(message);
  return nullptr;
}

// The application's own connection: a peer-to-peer server on a thread of its own.
class WrongTypesApplication {
 public:
  WrongTypesApplication() {
    thread_ = std::thread([this] {
      g_main_context_push_thread_default(context_);
      gchar* guid = g_dbus_generate_guid();
      server_ = g_dbus_server_new_sync("unix:tmpdir=/tmp", G_DBUS_SERVER_FLAGS_NONE, guid, nullptr,
                                       nullptr, nullptr);
      g_free(guid);
      if (server_) {
        g_signal_connect(server_, "new-connection",
                         G_CALLBACK(+[](GDBusServer*, GDBusConnection* c, gpointer) {
                           g_object_ref(c);
                           g_dbus_connection_add_filter(c, serve, nullptr, nullptr);
                           return TRUE;
                         }),
                         nullptr);
        g_dbus_server_start(server_);
      }
      g_main_loop_run(loop_);
      if (server_) g_object_unref(server_);
      g_main_context_pop_thread_default(context_);
    });
    while (!g_main_loop_is_running(loop_))
      std::this_thread::yield();
  }
  ~WrongTypesApplication() {
    g_main_loop_quit(loop_);
    thread_.join();
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
  }
  std::string address() const { return server_ ? g_dbus_server_get_client_address(server_) : ""; }

 private:
  GMainContext* context_ = g_main_context_new();
  GMainLoop* loop_ = g_main_loop_new(context_, FALSE);
  GDBusServer* server_ = nullptr;
  std::thread thread_;
};

TEST(AtspiSnapshotReplies, WrongTypesFailOnlyTheirOwnNodes) {
  WrongTypesApplication app;
  ASSERT_FALSE(app.address().empty());
  DBusConnection* bus = dbus_connection_open_private(app.address().c_str(), nullptr);
  ASSERT_TRUE(bus);
  auto snapshot = linuxport::AtspiSnapshot::take(bus, ":1.1", "/ok", 5000);
  ASSERT_TRUE(snapshot);
  const auto& nodes = snapshot->nodes();
  int frame = nodes[snapshot->element()].parent;
  ASSERT_GE(frame, 0);
  ASSERT_EQ(nodes[frame].children.size(), 3u);
  int ok = nodes[frame].children[0], wrong = nodes[frame].children[1],
      bad = nodes[frame].children[2];
  EXPECT_EQ(ok, snapshot->element());
  EXPECT_EQ(nodes[ok].role, "AXStaticText");
  EXPECT_FALSE(nodes[bad].role) << "a role of the wrong type reads as none";
  EXPECT_TRUE(nodes[bad].children.empty());

  auto texts = snapshot->read({ok, wrong, bad}, "AXValue");
  ASSERT_TRUE(texts);
  EXPECT_EQ((*texts)[0], AXValue(std::string("정상 글")));
  EXPECT_FALSE((*texts)[1]);
  EXPECT_FALSE((*texts)[2]);
  auto frames = snapshot->read({ok, wrong}, "AXFrame");
  ASSERT_TRUE(frames);
  EXPECT_EQ((*frames)[0], AXValue(Rect{1, 2, 3, 4}));
  EXPECT_FALSE((*frames)[1]);
  auto titles = snapshot->read({bad}, "AXTitle");
  ASSERT_TRUE(titles);
  EXPECT_FALSE((*titles)[0]);
  snapshot.reset();
  dbus_connection_close(bus);
  dbus_connection_unref(bus);
}

}  // namespace

// Runs inside tests/desktop/session: this test is the notification server on the session bus.
#include "platform/linux/DBusNotifier.h"

#include <gtest/gtest.h>

#include "MainLoop.h"
#include "NotificationServer.h"

namespace {

// Servers that read markup get "&" and "<" as text, not as broken markup.
TEST(NotificationsOnDesktop, TitleAndBodyArriveAsEscapedText) {
  ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr)
      << "run me through tests/desktop/session";
  desktoptest::NotificationServer server;
  ASSERT_TRUE(server.owned());

  linuxport::DBusNotifier notifier;
  notifier.post("id", "A & B <i>", "1 < 2 & \"따옴표\"");
  desktoptest::pumpUntil([&] { return !server.received().empty(); }, 5000);

  ASSERT_EQ(server.received().size(), 1u);
  EXPECT_EQ(server.received()[0].summary, "A &amp; B &lt;i&gt;");
  EXPECT_EQ(server.received()[0].body, "1 &lt; 2 &amp; &quot;따옴표&quot;");
}

}  // namespace

// The X11 clipboard through GTK, against another program that owns or reads it. The waits of
// copy and paste run on a ManualClock: each can end only on what the other program does, or
// when the test advances it.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <fstream>

#include "FixtureApp.h"
#include "field/Clipboard.h"
#include "platform/linux/LinuxDesktop.h"

namespace {

namespace fs = std::filesystem;
using desktoptest::FixtureApp;
using desktoptest::pumpUntil;
using desktoptest::readClipboard;
using desktoptest::start;

const std::string kText = "안녕하세요 clipboard 👋";
const std::string kHtml = "<meta charset=utf-8><b>안녕</b>";

std::string base64(const std::string& bytes) {
  gchar* b = g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
  std::string s(b);
  g_free(b);
  return s;
}

class ClipboardOnDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gtk_init_check(nullptr, nullptr)) GTEST_SKIP() << "no display";
    ASSERT_TRUE(std::getenv("MIRELO_SESSION_ROOT")) << "run me through tests/desktop/session";
    dir = std::getenv("MIRELO_SESSION_ROOT");  // removed with the session
    for (const auto& [name, bytes] : {std::pair{"text", kText}, {"html", kHtml}, {"png", png}})
      std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  std::vector<std::string> ownerArgs() {
    return {"--clipboard=UTF8_STRING=" + (dir / "text").string() +
            ",text/html=" + (dir / "html").string() + ",image/png=" + (dir / "png").string()};
  }

  fs::path dir;
  const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) +
                          std::string(70000, '\x07') + std::string(1, '\0');
  ManualClock clock;
};

// Every target byte for byte; cleared while another program owns it, nothing is offered; the
// snapshot written back outlives its original owner.
TEST_F(ClipboardOnDesktop, SnapshotIsExactClearsAndOutlivesItsOwner) {
  linuxport::GtkPasteboard pb;
  std::vector<platform::PasteboardItem> snapshot;
  {
    FixtureApp owner(ownerArgs());
    ASSERT_TRUE(owner.ready());
    snapshot = pb.items();
    EXPECT_EQ(pb.string(), kText);
    pb.clearContents();
    EXPECT_FALSE(pb.string());
    EXPECT_TRUE(pb.items().empty());
    EXPECT_EQ(readClipboard("UTF8_STRING"), "-");
    pb.writeItems(snapshot);
  }
  ASSERT_EQ(snapshot.size(), 1u);
  platform::PasteboardItem expected = {
      {"UTF8_STRING", kText}, {"text/html", kHtml}, {"image/png", png}};
  EXPECT_EQ(snapshot[0], expected);
  EXPECT_EQ(pb.items(), snapshot);
  EXPECT_EQ(readClipboard("image/png"), base64(png));
  EXPECT_EQ(readClipboard("text/html"), base64(kHtml));
}

// It survives a hundred borrowings by copy and paste byte for byte. Their waits run on the
// test's clock: only the application's answer ends them.
TEST_F(ClipboardOnDesktop, SurvivesAHundredCopiesAndPastes) {
  linuxport::LinuxDesktop desk;
  std::vector<platform::PasteboardItem> before;
  {
    FixtureApp owner(ownerArgs());
    ASSERT_TRUE(owner.ready());
    before = desk.pasteboard.items();
    desk.pasteboard.writeItems(before);  // Mirelo keeps serving it after the owner quits
  }
  ASSERT_EQ(before.size(), 1u);
  FixtureApp app({"--entry=복사할 글"});
  ASSERT_TRUE(app.ready());
  platform::Platform p{clock,           desk.accessibility, desk.keyboard,
                       desk.pasteboard, desk.workspace,     desk.defaults,
                       desk.secrets,    desk.notifier,      desk.http,
                       desk.ui,         desk.webViews,      desk.updater};
  for (int i = 0; i < 100; ++i) {
    app.select("entry", 0, 5);
    ASSERT_EQ(desktoptest::runOnLoop(Clipboard::copySelection(p)), "복사할 글") << "round " << i;
    ASSERT_EQ(desk.pasteboard.items(), before) << "after copy " << i;
    app.select("entry", 0, 5);
    const std::string text = "붙인 글 " + std::to_string(i);
    auto pasted = start(Clipboard::paste(p, text));
    ASSERT_TRUE(pumpUntil([&] { return app.text("entry") == text; }, 10000)) << app.text("entry");
    clock.advance(1);  // the application has fetched all it wanted
    ASSERT_EQ(*pasted, true);
    ASSERT_EQ(desk.pasteboard.items(), before) << "after paste " << i;
    app.set("entry", "복사할 글");
  }
}

// STRING is Latin-1 and bare text/plain is ASCII: text they cannot hold is not offered there.
TEST_F(ClipboardOnDesktop, PlainTextIsServedInEachTargetsOwnEncodingOrNotAtAll) {
  linuxport::GtkPasteboard pb;
  pb.writeItems({{{platform::Pasteboard::kStringType, "café"}}});
  EXPECT_EQ(readClipboard("STRING"), base64("caf\xe9"));
  EXPECT_EQ(readClipboard("text/plain"), "-");
  pb.writeItems({{{platform::Pasteboard::kStringType, "답글 cafe"}}});
  EXPECT_EQ(readClipboard("STRING"), "-");
  EXPECT_EQ(readClipboard("COMPOUND_TEXT"), "-");
  EXPECT_EQ(readClipboard("TEXT"), base64("답글 cafe"));
  EXPECT_EQ(readClipboard("UTF8_STRING"), base64("답글 cafe"));
  pb.writeItems({{{platform::Pasteboard::kStringType, "plain"}}});
  EXPECT_EQ(readClipboard("text/plain"), base64("plain"));
}

// An owner that stops answering cuts the snapshot short: it reads as incomplete, not as a
// clipboard holding less than it does.
TEST_F(ClipboardOnDesktop, AHungOwnerCutsTheSnapshotShort) {
  FixtureApp owner(ownerArgs());
  ASSERT_TRUE(owner.ready());
  linuxport::GtkPasteboard pb;
  kill(owner.pid(), SIGSTOP);
  auto items = pb.items();
  bool complete = pb.lastItemsComplete();
  kill(owner.pid(), SIGCONT);
  EXPECT_TRUE(items.empty());
  EXPECT_FALSE(complete);
  // Once the owner answers again (GTK asks one thing at a time), the snapshot is whole.
  for (int i = 0; i < 10 && (items = pb.items()).empty(); ++i) {
  }
  EXPECT_EQ(items.size(), 1u);
  EXPECT_TRUE(pb.lastItemsComplete());
}

// A copy waits until another program takes the clipboard; a paste until the fetches stop.
TEST_F(ClipboardOnDesktop, CopyAndPasteWaitForTheOtherProgram) {
  linuxport::GtkPasteboard pb;
  pb.clearContents();
  auto w = start(pb.awaitOwnerChange(clock, 0.12));
  pb.writeItems({{{platform::Pasteboard::kStringType, "붙일 글"}}});
  EXPECT_FALSE(pumpUntil([&] { return w->has_value(); }, 300)) << "Mirelo's own change ended it";
  {
    FixtureApp owner({"--clipboard=UTF8_STRING=/dev/null"});
    ASSERT_TRUE(owner.ready());
    ASSERT_TRUE(pumpUntil([&] { return w->has_value(); }));
    EXPECT_EQ(*w, true);
  }

  pb.writeItems({{{platform::Pasteboard::kStringType, "붙일 글"}}});
  w = start(pb.awaitFetch(clock, 1.0));
  EXPECT_NE(readClipboard("UTF8_STRING"), "-");
  clock.advance(0.05);
  EXPECT_FALSE(*w);
  // A browser fetches a second time before it pastes: the wait starts again.
  EXPECT_NE(readClipboard("UTF8_STRING"), "-");
  clock.advance(0.05);
  EXPECT_FALSE(*w);
  clock.advance(0.02);
  EXPECT_EQ(*w, true);
}

// At the quit the clipboard's text goes to the clipboard manager; a secret never does (a save
// of it would come first).
TEST_F(ClipboardOnDesktop, TheClipboardManagerGetsTheTextButNoSecret) {
  FixtureApp manager({"--manager=clipboard"});
  ASSERT_TRUE(manager.ready());
  linuxport::GtkPasteboard pb;
  pb.writeItems({{{platform::Pasteboard::kStringType, "암호"},
                  {platform::Pasteboard::kTransientType, platform::Pasteboard::kTransientValue}}});
  pb.storeForClipboardManager();
  pb.writeItems({{{platform::Pasteboard::kStringType, kText}}});
  pb.storeForClipboardManager();
  EXPECT_EQ(manager.line(5000), "saved " + nlohmann::json(kText).dump());
}

}  // namespace

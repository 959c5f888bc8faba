// The X11 clipboard through GTK, against another program that owns it.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <filesystem>
#include <fstream>

#include "DesktopPeer.h"
#include "platform/linux/GtkPasteboard.h"

namespace {

namespace fs = std::filesystem;

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
    dir = fs::temp_directory_path() / ("mirelo-clip-" + std::to_string(getpid()));
    fs::create_directories(dir);
    png = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(5000, '\x07') +
          std::string(1, '\0');
    write("text", "안녕하세요 clipboard 👋");
    write("html", "<meta charset=utf-8><b>안녕</b>");
    write("png", png);
  }
  void TearDown() override { fs::remove_all(dir); }
  void write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  std::vector<std::string> ownerArgs() {
    return {"--target", "UTF8_STRING=" + (dir / "text").string(),
            "--target", "text/html=" + (dir / "html").string(),
            "--target", "image/png=" + (dir / "png").string()};
  }

  fs::path dir;
  std::string png;
};

TEST_F(ClipboardOnDesktop, SnapshotHoldsEveryTargetByteForByte) {
  desktoptest::Peer owner(ownerArgs());
  ASSERT_TRUE(owner.ready());
  linuxport::GtkPasteboard pb;
  auto items = pb.items();
  ASSERT_EQ(items.size(), 1u);
  platform::PasteboardItem expected = {{"UTF8_STRING", "안녕하세요 clipboard 👋"},
                                       {"text/html", "<meta charset=utf-8><b>안녕</b>"},
                                       {"image/png", png}};
  EXPECT_EQ(items[0], expected);
  EXPECT_EQ(pb.string(), "안녕하세요 clipboard 👋");
}

TEST_F(ClipboardOnDesktop, ClearedClipboardOffersNothing) {
  desktoptest::Peer owner(ownerArgs());
  ASSERT_TRUE(owner.ready());
  linuxport::GtkPasteboard pb;
  pb.clearContents();
  EXPECT_FALSE(pb.string());
  EXPECT_TRUE(pb.items().empty());
  EXPECT_EQ(desktoptest::runPeer({"--read", "UTF8_STRING"}), "-");
}

TEST_F(ClipboardOnDesktop, RestoredSnapshotOutlivesTheOriginalOwner) {
  linuxport::GtkPasteboard pb;
  std::vector<platform::PasteboardItem> snapshot;
  {
    desktoptest::Peer owner(ownerArgs());
    ASSERT_TRUE(owner.ready());
    snapshot = pb.items();
    pb.clearContents();
    pb.writeItems(snapshot);
  }  // the owner has exited
  EXPECT_EQ(pb.items(), snapshot);
  // Another program sees the same bytes.
  EXPECT_EQ(desktoptest::runPeer({"--read", "image/png"}), base64(png));
  EXPECT_EQ(desktoptest::runPeer({"--read", "text/html"}),
            base64("<meta charset=utf-8><b>안녕</b>"));
}

// STRING is Latin-1 and bare text/plain is ASCII: text they cannot hold is not offered there.
TEST_F(ClipboardOnDesktop, PlainTextIsServedInEachTargetsOwnEncodingOrNotAtAll) {
  linuxport::GtkPasteboard pb;
  pb.writeItems({{{platform::Pasteboard::kStringType, "café"}}});
  EXPECT_EQ(desktoptest::runPeer({"--read", "STRING"}), base64("caf\xe9"));
  EXPECT_EQ(desktoptest::runPeer({"--read", "text/plain"}), "-");
  pb.writeItems({{{platform::Pasteboard::kStringType, "답글 cafe"}}});
  EXPECT_EQ(desktoptest::runPeer({"--read", "STRING"}), "-");
  EXPECT_EQ(desktoptest::runPeer({"--read", "COMPOUND_TEXT"}), "-");
  EXPECT_EQ(desktoptest::runPeer({"--read", "TEXT"}), base64("답글 cafe"));
  EXPECT_EQ(desktoptest::runPeer({"--read", "UTF8_STRING"}), base64("답글 cafe"));
  pb.writeItems({{{platform::Pasteboard::kStringType, "plain"}}});
  EXPECT_EQ(desktoptest::runPeer({"--read", "text/plain"}), base64("plain"));
}

// An owner that stops answering cuts the snapshot short: it reads as incomplete, not as a
// clipboard holding less than it does.
TEST_F(ClipboardOnDesktop, AHungOwnerCutsTheSnapshotShort) {
  desktoptest::Peer owner(ownerArgs());
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

}  // namespace

#include "kb/TarnStore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

// Version n of a 1 MB knowledge base: its number first, then filler that differs per version.
std::string version(long n) {
  std::string text = "{\"version\":" + std::to_string(n) + ",\"notes\":\"";
  text.append(1 << 20, static_cast<char>('a' + n % 26));
  return text + "\"}";
}

// The version number when text is byte for byte one of the versions, else -1.
long whichVersion(const std::string& text) {
  const std::string head = "{\"version\":";
  if (text.rfind(head, 0) != 0) return -1;
  long n = std::atol(text.c_str() + head.size());
  return text == version(n) ? n : -1;
}

class TarnStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/mirelo-store.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    root = name;
    setenv("XDG_DATA_HOME", root.c_str(), 1);
  }
  void TearDown() override {
    fs::remove_all(root);
    unsetenv("XDG_DATA_HOME");
  }
  std::string root;
};

TEST_F(TarnStoreTest, AKilledSaveLeavesOneWholeVersion) {
  TarnStore::ensureDirectory();
  TarnStore::writeAtomically(version(0), TarnStore::tarnFile());
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> moment(0, 40'000);  // microseconds after the start
  long newest = 0;
  for (int kill = 0; kill < 200; ++kill) {
    const long first = newest + 1;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (long n = first;; ++n)
        TarnStore::writeAtomically(version(n), TarnStore::tarnFile());
    }
    usleep(static_cast<useconds_t>(moment(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    auto text = TarnStore::read(TarnStore::tarnFile());
    ASSERT_TRUE(text) << "kill " << kill;
    long n = whichVersion(*text);
    ASSERT_GE(n, newest) << "kill " << kill << ": torn or old (" << text->size() << " bytes)";
    newest = n;
  }
}

TEST_F(TarnStoreTest, UsageCountsBothFilesAndNothingElse) {
  EXPECT_EQ(TarnStore::usage(), 0);
  TarnStore::saveAvatar("data:,abc");
  EXPECT_EQ(TarnStore::usage(), 9);
  TarnStore::writeAtomically("12345", TarnStore::tarnFile());
  std::string stray = TarnStore::directory() + "/.tarn.json.tmp";
  TarnStore::writeAtomically("leftover", stray);
  EXPECT_EQ(TarnStore::usage(), 14);
  TarnStore::clear();
  EXPECT_EQ(TarnStore::usage(), 0);
}

}  // namespace

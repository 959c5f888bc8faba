#include "platform/linux/LinuxDefaults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "account/Settings.h"
#include "base/Log.h"
#include "platform/linux/Autostart.h"

namespace fs = std::filesystem;

namespace {

class DefaultsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("mirelo-defaults-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "config");
    file = dir / "config/mirelo/defaults.json";
    info = dir / "Info.json";
  }
  void TearDown() override { fs::remove_all(dir); }
  void write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
  }
  std::string read(const fs::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir, file, info;
};

TEST_F(DefaultsFile, MissingFileReadsEmptyWritesCreateItAndOtherWritersAreSeen) {
  linuxport::LinuxDefaults d(file, info);
  EXPECT_FALSE(d.object("triggerMode"));
  EXPECT_FALSE(fs::exists(file)) << "reading must not create the file";
  d.set("triggerMode", "double");
  d.set("handleBrowsers", false);
  linuxport::LinuxDefaults again(file, info);
  EXPECT_EQ(Settings::triggerMode(again), TriggerMode::double_);
  EXPECT_FALSE(Settings::handleBrowsers(again));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::others_read, fs::perms::none);
  // No temporary files are left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);

  d.set("accountEmail", "a@b.c");
  d.remove("accountEmail");
  EXPECT_EQ(read(file).find("accountEmail"), std::string::npos);
  EXPECT_FALSE(linuxport::LinuxDefaults(file, info).object("accountEmail"));

  EXPECT_EQ(Settings::triggerCode(d), TriggerKey::altRight);  // another writer's change is seen
  write(file, R"({"triggerCode": "ControlLeft", "padding": "so the size differs"})");
  EXPECT_EQ(Settings::triggerCode(d), TriggerKey::controlLeft);
}

TEST_F(DefaultsFile, CorruptFileReadsEmptyLogsOnceAndIsKeptBeforeReplacement) {
  for (std::string broken : {"{\"triggerMode\": \"double\", oops", "[1, 2, 3]"}) {
    write(file, broken);
    Log::Capture capture;
    linuxport::LinuxDefaults d(file, info);
    EXPECT_EQ(Settings::triggerMode(d), TriggerMode::single);
    EXPECT_TRUE(Settings::handleBrowsers(d));
    EXPECT_EQ(std::ranges::count_if(capture.records(),
                                    [](auto& r) { return r.level == Log::Level::error; }),
              1);
    EXPECT_EQ(read(file), broken) << "reading must leave the user's file alone";

    d.set("triggerMode", "off");
    EXPECT_EQ(read(fs::path(file.string() + ".corrupt")), broken);
    linuxport::LinuxDefaults reread(file, info);
    EXPECT_EQ(Settings::triggerMode(reread), TriggerMode::off);
  }
}

TEST_F(DefaultsFile, InfoDictionaryIsReadBesideTheProgram) {
  write(info, R"({"MireloBackendURL": "http://127.0.0.1:9999", "MireloGoogleClientID": 7})");
  linuxport::LinuxDefaults d(file, info);
  EXPECT_EQ(Settings::backendURL(d), "http://127.0.0.1:9999");
  EXPECT_FALSE(Settings::plist(d, "MireloGoogleClientID"));
  linuxport::LinuxDefaults none(file, dir / "missing.json");
  EXPECT_EQ(Settings::backendURL(none), "https://api.mirelo.app");
}

TEST(DefaultsPaths, FollowXdgConfigHome) {
  const bool had = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = had ? std::getenv("XDG_CONFIG_HOME") : "";
  setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
  EXPECT_EQ(linuxport::LinuxDefaults::standardFile(),
            fs::path("/tmp/xdg-test/mirelo/defaults.json"));
  had ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

// The autostart entry is written at the first sign-in only: one the user deleted stays deleted.
TEST_F(DefaultsFile, TheAutostartEntryIsOfferedOnce) {
  const bool had = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = had ? std::getenv("XDG_CONFIG_HOME") : "";
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  linuxport::LinuxDefaults d(file, info);
  const fs::path entry = linuxport::Autostart::entryFile();
  EXPECT_EQ(entry, dir / "config/autostart/com.mirelo.app.desktop");
  fs::create_directories(entry);  // a directory in its place: the write fails
  linuxport::Autostart::offerOnce(d, "/usr/bin/mirelo");
  fs::remove(entry);  // and a failed write is not remembered as offered
  linuxport::Autostart::offerOnce(d, "/usr/bin/mirelo");
  std::ifstream in(entry);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("Exec=\"/usr/bin/mirelo\"\n"), std::string::npos) << text;
  fs::remove(entry);
  linuxport::Autostart::offerOnce(d, "/usr/bin/mirelo");
  EXPECT_FALSE(fs::exists(entry));
  had ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

}  // namespace

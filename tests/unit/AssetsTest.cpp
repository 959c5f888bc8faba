#include "feedback/Assets.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

// A data folder laid out as an installed one, filled file by file.
class AssetsTest : public testing::Test {
 protected:
  void SetUp() override { fs::remove_all(dir); }
  void TearDown() override { fs::remove_all(dir); }
  std::string put(const std::string& path, const std::string& bytes = "x") {
    fs::create_directories((dir / path).parent_path());
    std::ofstream(dir / path) << bytes;
    return (dir / path).string();
  }
  fs::path dir = fs::temp_directory_path() / ("mirelo-assets-" + std::to_string(::getpid()));
};

TEST_F(AssetsTest, TrayIconFallsBackToTheStockIconAndTheDimmedOneToTheFullOne) {
  EXPECT_EQ(Assets::menubar(dir).themePath, "");
  EXPECT_EQ(Assets::menubar(dir).name, Assets::kStockTrayIcon);
  put("icons/mirelo-tray-symbolic.svg", "");  // empty files do not count
  EXPECT_EQ(Assets::menubar(dir).name, Assets::kStockTrayIcon);
  put("icons/mirelo-tray-symbolic.svg");
  auto own = Assets::menubar(dir);
  EXPECT_EQ(own.themePath, (dir / "icons").string());
  EXPECT_EQ(own.name, "mirelo-tray-symbolic");
  EXPECT_EQ(own.dimmedName, "mirelo-tray-symbolic");
  put("icons/mirelo-tray-dimmed-symbolic.svg");
  EXPECT_EQ(Assets::menubar(dir).dimmedName, "mirelo-tray-dimmed-symbolic");
}

TEST_F(AssetsTest, AppIconFallsBackToTheEmblemThenToNone) {
  EXPECT_FALSE(Assets::appIcon(dir));
  std::string emblem = put("emblem.png");
  EXPECT_EQ(Assets::appIcon(dir), emblem);
  std::string png = put("icons/hicolor/256x256/apps/com.mirelo.app.png");
  EXPECT_EQ(Assets::appIcon(dir), png);
}

}  // namespace

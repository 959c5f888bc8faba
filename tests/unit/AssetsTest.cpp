#include "feedback/Assets.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

// A data folder laid out as an installed one, filled file by file.
class AssetsTest : public testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("mirelo-assets-" + std::to_string(::getpid()));
    fs::remove_all(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  void put(const std::string& path, const std::string& bytes = "x") {
    fs::create_directories((dir / path).parent_path());
    std::ofstream(dir / path) << bytes;
  }
  fs::path dir;
};

TEST_F(AssetsTest, TrayIconFallsBackToTheStockIconAndTheDimmedOneToTheFullOne) {
  auto stock = Assets::menubar(dir);
  EXPECT_EQ(stock.themePath, "");
  EXPECT_EQ(stock.name, Assets::kStockTrayIcon);
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
  put("emblem.png");
  EXPECT_EQ(Assets::appIcon(dir), (dir / "emblem.png").string());
  put("icons/hicolor/256x256/apps/com.mirelo.app.png");
  EXPECT_EQ(Assets::appIcon(dir), (dir / "icons/hicolor/256x256/apps/com.mirelo.app.png").string());
}

}  // namespace

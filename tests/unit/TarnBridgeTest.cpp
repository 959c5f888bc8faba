#include "kb/TarnBridge.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "account/Settings.h"
#include "base/Log.h"
#include "fake/FakeDefaults.h"
#include "kb/TarnStore.h"

namespace {

namespace fs = std::filesystem;
using platform::SecurityOrigin;

TEST(TarnBridgeOrigin, MatchesSchemeHostAndPortExactly) {
  const std::string local = "http://localhost:8080";
  EXPECT_TRUE(TarnBridge::isDashboardOrigin({"http", "localhost", 8080}, local));
  EXPECT_FALSE(TarnBridge::isDashboardOrigin({"http", "localhost", 80}, local));
  EXPECT_FALSE(TarnBridge::isDashboardOrigin({"http", "localhost", 0}, local));
  EXPECT_FALSE(TarnBridge::isDashboardOrigin({"https", "localhost", 8080}, local));
  EXPECT_FALSE(TarnBridge::isDashboardOrigin({"http", "127.0.0.1", 8080}, local));
  EXPECT_FALSE(TarnBridge::isDashboardOrigin({"http", "LocalHost", 8080}, local));

  const std::string secure = "https://api.mirelo.app";
  EXPECT_TRUE(TarnBridge::isDashboardOrigin({"https", "api.mirelo.app", 0}, secure));
  EXPECT_TRUE(TarnBridge::isDashboardOrigin({"https", "api.mirelo.app", 443}, secure));
  EXPECT_FALSE(TarnBridge::isDashboardOrigin({"https", "api.mirelo.app", 80}, secure));
  EXPECT_TRUE(TarnBridge::isDashboardOrigin({"http", "example.test", 0}, "http://example.test/"));
  EXPECT_TRUE(
      TarnBridge::isDashboardOrigin({"http", "example.test", 80}, "http://u:p@example.test"));
  EXPECT_FALSE(TarnBridge::isDashboardOrigin({"http", "", 0}, "http:///path"));
  EXPECT_FALSE(TarnBridge::isDashboardOrigin({"", "", 0}, "no-scheme"));
}

// Requests against a store in a fresh data directory.
class TarnBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/mirelo-bridge.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    root = name;
    setenv("XDG_DATA_HOME", root.c_str(), 1);
    defaults.set(Settings::kBackendURL, "http://127.0.0.1:8787");
  }
  void TearDown() override {
    fs::remove_all(root);
    unsetenv("XDG_DATA_HOME");
  }
  platform::ScriptMessage from(Json body, const void* view = &dashboard, bool mainFrame = true) {
    return {std::move(body), mainFrame, {"http", "127.0.0.1", 8787}, view};
  }
  TarnBridge::Answer ask(Json body, const void* view = &dashboard) {
    return bridge.handle(from(std::move(body), view));
  }
  static std::string error(const TarnBridge::Answer& a) { return a.error.value_or("(none)"); }

  static inline int dashboard = 0, engine = 0;  // two view identities
  std::string root;
  fake::FakeDefaults defaults;
  TarnBridge bridge{defaults};
};

TEST_F(TarnBridgeTest, SaveLoadUsageAndClear) {
  EXPECT_EQ(ask({{"type", "load"}}).value, (Json{{"json", nullptr}}));
  EXPECT_EQ(ask({{"type", "usage"}}).value, (Json{{"bytes", 0}, {"path", root + "/Mirelo"}}));
  EXPECT_EQ(ask({{"type", "save"}, {"json", "{\"n\":1}"}}).value,
            (Json{{"ok", true}, {"bytes", 7}}));
  EXPECT_EQ(ask({{"type", "load"}}).value, (Json{{"json", "{\"n\":1}"}}));
  EXPECT_EQ(ask({{"type", "save"}, {"json", ""}}).value, (Json{{"ok", true}, {"bytes", 0}}));
  EXPECT_EQ(fs::file_size(TarnStore::tarnFile()), 0u) << "an empty text is a real save";
  EXPECT_FALSE(fs::exists(root + "/Mirelo/.tarn.json.tmp"));

  EXPECT_EQ(ask({{"type", "saveAvatar"}, {"dataUrl", "data:,x"}}).value, (Json{{"ok", true}}));
  EXPECT_EQ(ask({{"type", "loadAvatar"}}).value, (Json{{"dataUrl", "data:,x"}}));
  EXPECT_EQ((*ask({{"type", "usage"}}).value)["bytes"], 7);
  EXPECT_EQ(ask({{"type", "saveAvatar"}, {"dataUrl", ""}}).value, (Json{{"ok", true}}));
  EXPECT_FALSE(fs::exists(TarnStore::avatarFile()));
  EXPECT_EQ(ask({{"type", "saveAvatar"}}).value, (Json{{"ok", true}})) << "no file is no error";
  EXPECT_EQ(ask({{"type", "clear"}}).value, (Json{{"ok", true}}));
  EXPECT_EQ(ask({{"type", "clear"}}).value, (Json{{"ok", true}}));
  EXPECT_TRUE(fs::is_directory(root + "/Mirelo"));
  EXPECT_EQ(ask({{"type", "load"}}).value, (Json{{"json", nullptr}}));
}

TEST_F(TarnBridgeTest, BadRequestsGetTheirAnswerAndChangeNothing) {
  ask({{"type", "save"}, {"json", "kept"}});
  for (Json body : {Json(nullptr), Json("save"), Json::array({"save"}), Json::object(),
                    Json{{"json", "x"}}, Json{{"type", 1}, {"json", "x"}},
                    Json{{"type", "SAVE"}, {"json", "x"}}, Json{{"type", "format"}}})
    EXPECT_EQ(error(ask(body)), "알 수 없는 요청입니다") << body;
  EXPECT_EQ(error(ask({{"type", "save"}})), "저장할 내용이 없습니다");
  EXPECT_EQ(error(ask({{"type", "save"}, {"json", 1}})), "저장할 내용이 없습니다");
  EXPECT_EQ(error(bridge.handle(from({{"type", "save"}, {"json", "x"}}, &dashboard, false))),
            "not-allowed");
  auto foreign = from({{"type", "clear"}});
  foreign.origin.port = 8788;
  EXPECT_EQ(error(bridge.handle(foreign)), "not-allowed");
  EXPECT_EQ(TarnStore::read(TarnStore::tarnFile()), "kept");
}

TEST_F(TarnBridgeTest, EngineSavesWaitWhileTheDashboardHoldsTheStorage) {
  Log::Capture capture;
  bridge.headlessWebView = &engine;
  bridge.isDashboardActive = [] { return true; };
  ask({{"type", "save"}, {"json", "old"}});
  EXPECT_EQ(error(ask({{"type", "save"}, {"json", "new"}}, &engine)), "tarn-busy");
  EXPECT_TRUE(capture.contains("app", Log::Level::notice,
                               "헤드리스 저장 보류 — 대시보드가 타르노를 잡고 있다"));
  EXPECT_EQ(TarnStore::read(TarnStore::tarnFile()), "old");
  EXPECT_EQ(ask({{"type", "saveAvatar"}, {"dataUrl", "data:,a"}}, &engine).value,
            (Json{{"ok", true}}))
      << "only saves are held";
  EXPECT_EQ(ask({{"type", "load"}}, &engine).value, (Json{{"json", "old"}}));
  bridge.isDashboardActive = [] { return false; };
  EXPECT_FALSE(ask({{"type", "save"}, {"json", "new"}}, &engine).error);
  EXPECT_EQ(TarnStore::read(TarnStore::tarnFile()), "new");
}

TEST_F(TarnBridgeTest, StoreFailuresAndUnreadableTextAreAnswered) {
  ask({{"type", "save"}, {"json", "x"}});
  std::ofstream(TarnStore::tarnFile(), std::ios::binary) << "\xff\xfe not UTF-8";
  EXPECT_EQ(ask({{"type", "load"}}).value, (Json{{"json", nullptr}})) << "cannot be carried";

  Log::Capture capture;
  setenv("XDG_DATA_HOME", (TarnStore::tarnFile() + "/under-a-file").c_str(), 1);
  auto answer = ask({{"type", "save"}, {"json", "x"}});
  ASSERT_TRUE(answer.error);
  EXPECT_NE(answer.error->find("Not a directory"), std::string::npos) << *answer.error;
  EXPECT_TRUE(capture.contains("app", Log::Level::error, "타르노 저장 실패: " + *answer.error));
  EXPECT_EQ(ask({{"type", "load"}}).value, (Json{{"json", nullptr}}));
}

}  // namespace

// libFuzzer target over the bridge's request handling: any message body, from any frame,
// with the dashboard active or not, gets exactly one answer that a page can carry, and a
// request that is refused leaves the stored knowledge base as it was.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "account/Settings.h"
#include "fake/FakeDefaults.h"
#include "kb/TarnBridge.h"
#include "kb/TarnStore.h"

namespace {

fake::FakeDefaults defaults;
std::string root;

void removeRoot() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char name[] = "/tmp/mirelo-fuzz.XXXXXX";
  if (!mkdtemp(name)) return 1;
  root = name;
  setenv("XDG_DATA_HOME", root.c_str(), 1);
  std::atexit(removeRoot);
  defaults.set(Settings::kBackendURL, Json("http://127.0.0.1:8787"));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static int engineView, dashboardView;
  TarnBridge bridge(defaults);
  const uint8_t flags = data[0];
  bridge.headlessWebView = &engineView;
  bridge.isDashboardActive = [flags] { return (flags & 4) != 0; };
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  platform::ScriptMessage message{JsonValue::parse(text).value_or(Json(nullptr)),
                                  (flags & 1) == 0,
                                  {"http", (flags & 8) ? "localhost" : "127.0.0.1", 8787},
                                  (flags & 2) ? &engineView : &dashboardView};
  auto before = TarnStore::read(TarnStore::tarnFile());
  TarnBridge::Answer answer = bridge.handle(message);
  if (answer.value.has_value() == answer.error.has_value()) __builtin_trap();
  if (answer.value) (void)answer.value->dump();  // throws (and aborts) on text it cannot carry
  if (answer.error && TarnStore::read(TarnStore::tarnFile()) != before) __builtin_trap();
  return 0;
}

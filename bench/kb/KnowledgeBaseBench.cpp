// Figures of the knowledge base on real WebKitGTK and the stand-in web application: time from
// start to readiness, retrieval with 1,000 stored notes, and the memory of the whole process
// tree with the engine loaded against a bare WebKitGTK view on an empty page, side by side.
//
//   mirelo_bench_kb          runs inside tests/desktop/session (make bench does that)
//   mirelo_bench_kb --bare   prints the proportional memory of a bare view's process tree
#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "FixtureApp.h"
#include "ProcessTree.h"
#include "StandInBackend.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Log.h"
#include "kb/HeadlessEngine.h"
#include "kb/TarnBridge.h"
#include "kb/TarnStore.h"
#include "platform/linux/LinuxDesktop.h"

namespace {

using Steady = std::chrono::steady_clock;

double msSince(Steady::time_point start) {
  return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

// Runs the main context as the application's main loop does, sleeping until something happens,
// until pred holds or timeoutMs passes; returns pred().
bool runUntil(const std::function<bool()>& pred, int timeoutMs) {
  bool expired = false;
  auto expire = +[](gpointer flag) -> gboolean {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
  };
  guint timer = g_timeout_add(static_cast<guint>(timeoutMs), expire, &expired);
  while (!pred() && !expired)
    g_main_context_iteration(nullptr, TRUE);
  if (!expired) g_source_remove(timer);
  return pred();
}

void report(const char* name, double value, const char* unit) {
  std::printf("bench: %s %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

// This process and every descendant, in MB.
double treeMegabytes() {
  long kb = 0;
  for (int pid : bench::processTree(getpid())) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    if (name != "mirelo-backend")
      kb += bench::pssKb(pid);  // the stand-in backend is no part of Mirelo
  }
  return kb / 1024.0;
}

int bare() {
  WebKitWebView* view = WEBKIT_WEB_VIEW(webkit_web_view_new());
  g_object_ref_sink(view);
  bool loaded = false;
  g_signal_connect(view, "load-changed",
                   G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent e, gpointer done) {
                     if (e == WEBKIT_LOAD_FINISHED) *static_cast<bool*>(done) = true;
                   }),
                   &loaded);
  webkit_web_view_load_html(view, "<!doctype html><title>empty</title>", "http://127.0.0.1/");
  runUntil([&] { return loaded; }, 30000);
  desktoptest::pumpUntil([] { return false; }, 2000);  // let the processes settle
  std::printf("%.1f\n", treeMegabytes());
  gtk_widget_destroy(GTK_WIDGET(view));
  g_object_unref(view);
  return loaded ? 0 : 1;
}

// Runs this program in another mode and reads its figure.
double childMegabytes(const std::string& self, const std::string& mode) {
  std::string command = self + " " + mode;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return 0;
  double mb = 0;
  if (std::fscanf(pipe, "%lf", &mb) != 1) mb = 0;
  pclose(pipe);
  return mb;
}

// Runs a retrieval on the main loop to its end.
std::optional<Json> finish(Task<std::optional<Json>> task);

// Prints the proportional memory of Mirelo's process tree with the engine loaded (the notes
// stored by the parent) and used once.
int engine(const std::string& backendURL) {
  Log::setStderrEnabled(false);
  linuxport::LinuxDesktop desk;
  desk.defaults.set(Settings::kBackendURL, backendURL);
  TarnBridge bridge(desk.defaults);
  HeadlessEngine engine(desk.platform(), bridge);
  engine.ensureLoaded();
  runUntil([&] { return engine.state() != HeadlessEngine::State::loading; }, 30000);
  bool found = finish(engine.retrieve("회의 자료 일정", std::nullopt)).has_value();
  desktoptest::pumpUntil([] { return false; }, 2000);  // let the processes settle
  std::printf("%.1f\n", treeMegabytes());
  return found ? 0 : 1;
}

std::optional<Json> finish(Task<std::optional<Json>> task) {
  std::optional<std::optional<Json>> out;
  spawn([](Task<std::optional<Json>> t, std::optional<std::optional<Json>>& o) -> Task<void> {
    o.emplace(co_await std::move(t));
  }(std::move(task), out));
  runUntil([&] { return out.has_value(); }, 20000);
  return out ? *out : std::nullopt;
}

// A knowledge base of n notes in the stand-in application's format.
std::string notes(int n) {
  Json all = Json::array();
  const char* topics[] = {"회의 자료", "출장 일정", "예산 검토", "채용 면접", "고객 문의"};
  for (int i = 0; i < n; ++i) {
    std::string topic = topics[i % 5];
    all.push_back({{"id", std::to_string(i)},
                   {"title", topic + " " + std::to_string(i)},
                   {"text", topic + "에 관한 메모 " + std::to_string(i) + ": 담당자와 " +
                                std::to_string(i % 28 + 1) + "일까지 확인하기로 했다"},
                   {"context", ""},
                   {"source", "reply"},
                   {"lang", "ko"},
                   {"at", ""}});
  }
  return Json{{"version", 1}, {"notes", all}}.dump();
}

}  // namespace

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) return 1;
  if (argc > 1 && std::string(argv[1]) == "--bare") return bare();
  if (argc > 2 && std::string(argv[1]) == "--engine") return engine(argv[2]);
  Log::setStderrEnabled(false);
  StandInBackend backend;
  linuxport::LinuxDesktop desk;
  desk.defaults.set(Settings::kBackendURL, backend.url());
  Keychain::set(desk.secrets, "bench-token", Keychain::kSessionToken);
  TarnBridge bridge(desk.defaults);
  TarnStore::ensureDirectory();
  TarnStore::writeAtomically(notes(1000), TarnStore::tarnFile());

  // Memory first, in fresh processes, while this one holds no web view (two programs cannot
  // share one web data directory at the same time). A process's share of a library page falls
  // while other programs map it too, so the two trees are measured in turns, three times each,
  // and the medians compared.
  std::vector<double> engineMbs, bareMbs;
  for (int i = 0; i < 3; ++i) {
    engineMbs.push_back(childMegabytes(argv[0], "--engine " + backend.url()));
    bareMbs.push_back(childMegabytes(argv[0], "--bare"));
  }
  const double engineMb = percentile(engineMbs, 0.5);
  const double bareMb = percentile(bareMbs, 0.5);

  std::vector<double> readiness;
  for (int i = 0; i < 10; ++i) {
    HeadlessEngine engine(desk.platform(), bridge);
    auto start = Steady::now();
    engine.ensureLoaded();
    runUntil([&] { return engine.state() != HeadlessEngine::State::loading; }, 30000);
    if (engine.state() != HeadlessEngine::State::ready) return 1;
    readiness.push_back(msSince(start));
  }
  report("kb_ready_median", percentile(readiness, 0.5), "ms");

  HeadlessEngine engine(desk.platform(), bridge);
  engine.ensureLoaded();
  runUntil([&] { return engine.state() != HeadlessEngine::State::loading; }, 30000);
  std::vector<double> retrieval;
  int found = 0;
  for (int i = 0; i < 100; ++i) {
    auto start = Steady::now();
    auto knowledge = finish(engine.retrieve(
        "다음 주 " + std::string(i % 2 ? "예산 검토" : "회의 자료") + " 일정 확인 부탁드립니다",
        std::nullopt));
    retrieval.push_back(msSince(start));
    found += knowledge.has_value();
  }
  report("kb_retrieve_1000_notes_median", percentile(retrieval, 0.5), "ms");
  report("kb_retrieve_1000_notes_p95", percentile(retrieval, 0.95), "ms");
  report("kb_retrieve_found", found, "of_100");

  report("kb_memory_engine_tree", engineMb, "MB");
  report("kb_memory_bare_view_tree", bareMb, "MB");
  report("kb_memory_ratio", bareMb > 0 ? engineMb / bareMb : 0, "x");
  TarnStore::clear();
  return 0;
}

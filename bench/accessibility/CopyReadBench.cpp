#include "CopyReadBench.h"
#include "BenchText.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "FixtureApp.h"
#include "field/Clipboard.h"
#include "platform/linux/LinuxDesktop.h"

namespace {

using platform::ElementRef;

constexpr int kRounds = 30;

double median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

template <typename F>
double milliseconds(F fn) {
  auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

std::optional<std::string> copyOnLoop(platform::Platform services) {
  std::optional<std::string> copied;
  bool done = false;
  spawn([](platform::Platform p, std::optional<std::string>& out, bool& d) -> Task<void> {
    out = co_await Clipboard::copySelection(p);
    d = true;
  }(services, copied, done));
  desktoptest::pumpUntil([&] { return done; }, 5000);
  return copied;
}

}  // namespace

void copyReadFigures() {
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "bench: no display for the copy read\n");
    return;
  }
  linuxport::LinuxDesktop desk;
  std::string text = twoThousandCharacters();
  desktoptest::FixtureApp app({"--windows=editor", "--focus=text", "--text=" + text});
  ElementRef field;
  bool ready = app.ready() && desktoptest::pumpUntil([&] {
                 field = desk.accessibility.focusedElement();
                 return field != nullptr;
               });
  if (!ready) {
    std::fprintf(stderr, "bench: the fixture did not start\n");
    return;
  }
  app.select("text", 0, 2000);
  desk.pasteboard.clearContents();
  desk.pasteboard.writeItems({{{platform::Pasteboard::kStringType, "사용자의 클립보드"}}});
  auto services = desk.platform();
  copyOnLoop(services);  // the first round trips to an application cost more
  desk.accessibility.copyAttribute(field, "AXValue");

  // Side by side, one of each per round, so that both see the same machine load.
  std::vector<double> atspi, copy;
  int wrong = 0;
  for (int i = 0; i < kRounds; ++i) {
    atspi.push_back(milliseconds([&] {
      auto v = desk.accessibility.copyAttribute(field, "AXValue");
      if (!v || std::get<std::string>(*v) != text) ++wrong;
    }));
    copy.push_back(milliseconds([&] {
      if (copyOnLoop(services) != text) ++wrong;
    }));
  }
  if (wrong) std::fprintf(stderr, "bench: %d reads gave the wrong text\n", wrong);
  double a = median(atspi), c = median(copy);
  std::printf("bench: field_read_atspi_2000_chars %.3f ms\n", a);
  std::printf("bench: field_read_copy_2000_chars %.3f ms\n", c);
  std::printf("bench: field_read_copy_over_atspi %.1f x\n", c / a);
}

// Figures of the accessibility port on the GTK 3 fixture: reading a 2,000-character field the
// way a trigger does, a verified whole-field write, a plain walk of a window of labels, and the
// page context of a 15,000-label window read in bulk against the plain walk.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "BenchText.h"
#include "CopyReadBench.h"
#include "FixtureApp.h"
#include "WalkOnlyAccessibility.h"
#include "base/Clock.h"
#include "field/PageContext.h"
#include "platform/AXSnapshot.h"
#include "platform/linux/AtspiAccessibility.h"

namespace {

using platform::AXValue;
using platform::ElementRef;

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

double median(int runs, const std::function<void()>& fn) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    fn();
    times.push_back(millisecondsSince(start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void report(const char* name, double value, const char* unit) {
  std::printf("bench: %s %.3f %s\n", name, value, unit);
}

ElementRef focused(linuxport::AtspiAccessibility& ax, int timeoutMs = 3000) {
  ElementRef found;
  desktoptest::pumpUntil(
      [&] {
        auto v = ax.copyAttribute(ax.systemWide(), "AXFocusedUIElement");
        found = v && std::holds_alternative<ElementRef>(*v) ? std::get<ElementRef>(*v) : nullptr;
        return found != nullptr;
      },
      timeoutMs);
  return found;
}

// What a trigger reads from the focused field.
bool readLikeATrigger(linuxport::AtspiAccessibility& ax, size_t expectedBytes) {
  auto field = focused(ax);
  auto value = ax.copyAttribute(field, "AXValue");
  ax.copyAttribute(field, "AXSelectedText");
  ax.copyAttribute(field, "AXPlaceholderValue");
  ax.copyAttribute(field, "AXSelectedTextRange");
  return value && std::get<std::string>(*value).size() == expectedBytes;
}

void fieldFigures(linuxport::AtspiAccessibility& ax) {
  std::string text = twoThousandCharacters();
  desktoptest::FixtureApp app({"--windows=editor", "--focus=text", "--text=" + text});
  if (!app.ready() || !focused(ax)) {
    std::fprintf(stderr, "bench: the fixture did not start\n");
    return;
  }
  readLikeATrigger(ax, text.size());  // the first call to an application costs more
  report("atspi_read_2000_chars", median(50, [&] { readLikeATrigger(ax, text.size()); }), "ms");
  auto field = focused(ax);
  report("atspi_value_2000_chars", median(50, [&] { ax.copyAttribute(field, "AXValue"); }), "ms");
  int round = 0;
  report("atspi_verified_write_2000_chars",
         median(20,
                [&] {
                  std::string next = text + std::to_string(++round);
                  ax.setAttribute(field, "AXValue", AXValue(next));
                  auto back = ax.copyAttribute(field, "AXValue");
                  if (!back || std::get<std::string>(*back) != next)
                    std::fprintf(stderr, "bench: write not verified\n");
                }),
         "ms");
}

// One attribute call at a time, as a plain page walk does it.
long walk(linuxport::AtspiAccessibility& ax, const ElementRef& e, long& texts) {
  long nodes = 1;
  auto role = ax.copyAttribute(e, "AXRole");
  std::string r = role ? std::get<std::string>(*role) : "";
  if (r == "AXTextArea" || r == "AXTextField") return nodes;
  if (r == "AXStaticText") {
    ax.copyAttribute(e, "AXValue");
    ax.copyAttribute(e, "AXFrame");
    ++texts;
    return nodes;
  }
  auto children = ax.copyAttribute(e, "AXChildren");
  if (children)
    for (auto& child : std::get<std::vector<ElementRef>>(*children))
      nodes += walk(ax, child, texts);
  return nodes;
}

void walkFigures(linuxport::AtspiAccessibility& ax) {
  desktoptest::FixtureApp app({"--windows=labels", "--labels=5000", "--focus=labels-composer"});
  auto field = app.ready() ? focused(ax, 30000) : nullptr;
  if (!field) {
    std::fprintf(stderr, "bench: the labels fixture did not start\n");
    return;
  }
  ElementRef window = field;
  for (ElementRef e = field; e;) {
    auto role = ax.copyAttribute(e, "AXRole");
    if (role && std::get<std::string>(*role) == "AXWindow") window = e;
    auto p = ax.copyAttribute(e, "AXParent");
    e = p ? std::get<ElementRef>(*p) : nullptr;
  }
  long nodes = 0, texts = 0;
  auto start = std::chrono::steady_clock::now();
  nodes = walk(ax, window, texts);
  double ms = millisecondsSince(start);
  report("atspi_plain_walk_nodes", double(nodes), "nodes");
  report("atspi_plain_walk_5000_labels", ms, "ms");
  report("atspi_plain_walk_per_node", ms * 1000 / double(nodes), "us");
}

// PageContext::read on the same window both ways, side by side; the readings must be equal.
void pageContextFigures(linuxport::AtspiAccessibility& ax) {
  desktoptest::FixtureApp app({"--windows=labels", "--labels=15000", "--focus=labels-composer"});
  FocusedField field;
  field.element = app.ready() ? focused(ax, 30000) : nullptr;
  if (!field.element) {
    std::fprintf(stderr, "bench: the labels fixture did not start\n");
    return;
  }
  GLibClock clock;
  desktoptest::WalkOnlyAccessibility walkOnly(ax);
  auto fast = PageContext::read(ax, clock, field);
  auto walked = PageContext::read(walkOnly, clock, field);
  if (!fast || fast != walked) std::fprintf(stderr, "bench: the readings differ\n");
  auto snapshot = ax.snapshot(field.element);
  report("page_context_15000_snapshot_nodes", snapshot ? double(snapshot->nodes().size()) : 0,
         "nodes");
  report("page_context_15000_bulk_fetch", median(9, [&] { snapshot = ax.snapshot(field.element); }),
         "ms");
  double bulk = median(9, [&] { PageContext::read(ax, clock, field); });
  double walk = median(3, [&] { PageContext::read(walkOnly, clock, field); });
  report("page_context_15000_fast", bulk, "ms");
  report("page_context_15000_plain_walk", walk, "ms");
  report("page_context_15000_speedup", walk / bulk, "x");
}

// A small mail window in an application whose other window holds 15,000 labels: the short walk
// against reading the whole application in bulk and against walking only.
void smallPageFigures(linuxport::AtspiAccessibility& ax) {
  desktoptest::FixtureApp app({"--windows=mail,labels", "--labels=15000", "--focus=composer"});
  FocusedField field;
  field.element = app.ready() ? focused(ax, 30000) : nullptr;
  if (!field.element) {
    std::fprintf(stderr, "bench: the mail fixture did not start\n");
    return;
  }
  GLibClock clock;
  desktoptest::WalkOnlyAccessibility walkOnly(ax);
  if (PageContext::read(ax, clock, field) != PageContext::read(ax, clock, field, 0))
    std::fprintf(stderr, "bench: the readings differ\n");
  double chosen = median(9, [&] { PageContext::read(ax, clock, field); });
  double bulk = median(9, [&] { PageContext::read(ax, clock, field, 0); });
  double walk = median(9, [&] { PageContext::read(walkOnly, clock, field); });
  report("page_context_small_page_chosen", chosen, "ms");
  report("page_context_small_page_bulk_only", bulk, "ms");
  report("page_context_small_page_walk_only", walk, "ms");
  report("page_context_small_page_bulk_over_chosen", bulk / chosen, "x");
}

}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  if (!std::getenv("MIRELO_BUILD_DIR")) setenv("MIRELO_BUILD_DIR", MIRELO_DEFAULT_BUILD_DIR, 1);
  linuxport::AtspiAccessibility ax;
  if (!ax.available()) {
    std::fprintf(stderr, "bench: no accessibility bus (run inside tests/desktop/session)\n");
    return 77;
  }
  fieldFigures(ax);
  copyReadFigures();
  walkFigures(ax);
  pageContextFigures(ax);
  smallPageFigures(ax);
  return 0;
}

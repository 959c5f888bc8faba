#include "platform/linux/GtkPasteboard.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "base/Log.h"

namespace linuxport {

namespace {

// Targets that describe the selection rather than hold its contents.
bool isMetaTarget(const std::string& name) {
  static const std::set<std::string> meta = {"TIMESTAMP",      "TARGETS", "MULTIPLE",
                                             "SAVE_TARGETS",   "DELETE",  "INSERT_SELECTION",
                                             "INSERT_PROPERTY"};
  return meta.count(name) > 0;
}

// The names under which X11 programs ask for plain UTF-8 text. TEXT lets the owner choose the
// encoding; the reply's type says it is UTF-8.
const std::vector<std::string>& utf8Aliases() {
  static const std::vector<std::string> aliases = {platform::Pasteboard::kStringType, "UTF8_STRING",
                                                   "TEXT"};
  return aliases;
}

// Plain text in a target's own encoding: STRING is Latin-1, bare text/plain is ASCII. Text that
// encoding cannot hold is not offered under that target.
std::optional<std::string> inOwnEncoding(const std::string& target, const std::string& utf8) {
  if (target == "text/plain") {
    if (std::any_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) != 0; }))
      return std::nullopt;
    return utf8;
  }
  gsize written = 0;
  gchar* latin1 = g_convert(utf8.data(), static_cast<gssize>(utf8.size()), "ISO-8859-1", "UTF-8",
                            nullptr, &written, nullptr);
  if (!latin1) return std::nullopt;
  std::string out(latin1, written);
  g_free(latin1);
  return out;
}

// A snapshot asks for at most this much, for this long: a hung or huge clipboard owner must
// not stall a trigger. A snapshot cut short is not used at all.
constexpr double kSnapshotSeconds = 1.0;
constexpr size_t kSnapshotBytes = 64 * 1024 * 1024;

// After a program fetched the text offered for a paste, the clipboard stays until no fetch has
// come for this long: browsers fetch the text twice 20-30 ms apart and drop the paste when the
// owner changes in between.
constexpr double kFetchMargin = 0.06;

// What Mirelo serves while it owns the clipboard.
struct Served {
  // Told about every fetch. Shared: what Mirelo serves may outlive this object.
  std::shared_ptr<std::function<void()>> onFetch;
  platform::PasteboardItem item;
  std::vector<std::string> names;  // target names, index = GtkTargetEntry info
  std::vector<std::string> types;  // the type each target's reply says its bytes are
  std::vector<std::string> bytes;
  bool secret = false;  // marked transient: never handed to a clipboard manager
};

void serve(GtkClipboard*, GtkSelectionData* data, guint info, gpointer user) {
  auto* served = static_cast<Served*>(user);
  if (info >= served->bytes.size()) return;
  const std::string& b = served->bytes[info];
  if (served->onFetch && *served->onFetch) (*served->onFetch)();
  gtk_selection_data_set(data, gdk_atom_intern(served->types[info].c_str(), FALSE), 8,
                         reinterpret_cast<const guchar*>(b.data()), static_cast<gint>(b.size()));
}

void release(GtkClipboard*, gpointer user) {
  delete static_cast<Served*>(user);
}

// One X11 selection holds one item: later items add only the types the first lacks.
platform::PasteboardItem merge(const std::vector<platform::PasteboardItem>& items) {
  platform::PasteboardItem merged;
  for (const auto& item : items)
    for (const auto& [type, bytes] : item)
      if (std::none_of(merged.begin(), merged.end(),
                       [&](const auto& p) { return p.first == type; }))
        merged.emplace_back(type, bytes);
  return merged;
}

Served* buildServed(platform::PasteboardItem item) {
  auto* s = new Served;
  s->item = std::move(item);
  auto offer = [s](const std::string& name, const std::string& type, std::string bytes) {
    if (std::find(s->names.begin(), s->names.end(), name) != s->names.end()) return;
    s->names.push_back(name);
    s->types.push_back(type);
    s->bytes.push_back(std::move(bytes));
  };
  const std::string* text = nullptr;
  for (const auto& [type, bytes] : s->item) {
    offer(type, type, bytes);
    if (type == platform::Pasteboard::kStringType) text = &bytes;
    if (type == platform::Pasteboard::kTransientType &&
        bytes == platform::Pasteboard::kTransientValue)
      s->secret = true;
  }
  if (text) {  // plain text is also offered under the other names programs ask for
    for (const auto& alias : utf8Aliases())
      offer(alias, alias == "TEXT" ? "UTF8_STRING" : alias, *text);
    for (const char* target : {"STRING", "text/plain"})
      if (auto encoded = inOwnEncoding(target, *text)) offer(target, target, *encoded);
  }
  return s;
}

// One answer of the clipboard owner. Shared with GTK's callback, which may come after the
// snapshot has given up waiting.
struct Answer {
  bool arrived = false;
  GtkSelectionData* data = nullptr;
  GMainLoop* loop = nullptr;  // set while the snapshot waits for this answer
  guint timer = 0;
  ~Answer() {
    if (data) gtk_selection_data_free(data);
  }
};

void received(GtkClipboard*, GtkSelectionData* data, gpointer user) {
  std::unique_ptr<std::shared_ptr<Answer>> holder(static_cast<std::shared_ptr<Answer>*>(user));
  Answer& a = **holder;
  a.arrived = true;
  if (data && gtk_selection_data_get_length(data) >= 0) a.data = gtk_selection_data_copy(data);
  if (a.loop) g_main_loop_quit(a.loop);
}

gboolean timedOut(gpointer user) {
  auto* a = static_cast<Answer*>(user);
  a->timer = 0;
  g_main_loop_quit(a->loop);
  return G_SOURCE_REMOVE;
}

// Asks the owner for one target and waits until the deadline (g_get_monotonic_time) at most.
// An answer that did not come in time has arrived = false.
std::shared_ptr<Answer> request(GtkClipboard* clipboard, GdkAtom target, gint64 deadline) {
  auto answer = std::make_shared<Answer>();
  gtk_clipboard_request_contents(clipboard, target, received, new std::shared_ptr<Answer>(answer));
  gint64 left = deadline - g_get_monotonic_time();
  if (answer->arrived || left <= 0) return answer;
  answer->loop = g_main_loop_new(nullptr, FALSE);
  answer->timer = g_timeout_add(static_cast<guint>(left / 1000 + 1), timedOut, answer.get());
  g_main_loop_run(answer->loop);
  if (answer->timer) g_source_remove(answer->timer);
  answer->timer = 0;
  g_main_loop_unref(std::exchange(answer->loop, nullptr));
  return answer;
}

}  // namespace

GtkPasteboard::GtkPasteboard() : clipboard_(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD)) {
  auto onOwnerChange = [](GtkClipboard*, GdkEvent*, gpointer self) {
    static_cast<GtkPasteboard*>(self)->ownerChanged();
  };
  ownerChangeHandler_ = g_signal_connect(
      clipboard_, "owner-change",
      G_CALLBACK(static_cast<void (*)(GtkClipboard*, GdkEvent*, gpointer)>(onOwnerChange)), this);
}

// A window GDK did not make itself is another program's.
void GtkPasteboard::ownerChanged() {
  ++changes_;
  if (!onForeignOwner_) return;
  GdkWindow* owner = gdk_selection_owner_get(GDK_SELECTION_CLIPBOARD);
  if (!owner || gdk_window_get_window_type(owner) == GDK_WINDOW_FOREIGN) onForeignOwner_();
}

GtkPasteboard::~GtkPasteboard() {
  *onFetch_ = nullptr;
  if (ownerChangeHandler_) g_signal_handler_disconnect(clipboard_, ownerChangeHandler_);
  if (emptyOwner_) {
    gtk_widget_destroy(GTK_WIDGET(emptyOwner_));
    g_object_unref(emptyOwner_);
  }
}

std::vector<platform::PasteboardItem> GtkPasteboard::items() {
  lastItemsComplete_ = false;
  const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(kSnapshotSeconds * 1e6);
  auto list = request(clipboard_, gdk_atom_intern_static_string("TARGETS"), deadline);
  if (!list->arrived) {
    Log::app.error("클립보드를 제때 다 읽지 못해 그대로 둡니다 (%{public}s)", "응답 없음");
    return {};
  }
  GdkAtom* targets = nullptr;
  gint count = 0;
  if (!list->data || !gtk_selection_data_get_targets(list->data, &targets, &count)) count = 0;
  platform::PasteboardItem item;
  size_t total = 0;
  bool complete = true;
  for (gint i = 0; i < count && complete; ++i) {
    gchar* name = gdk_atom_name(targets[i]);
    std::string type(name);
    g_free(name);
    if (isMetaTarget(type)) continue;
    if (std::any_of(item.begin(), item.end(), [&](const auto& p) { return p.first == type; }))
      continue;
    auto answer = request(clipboard_, targets[i], deadline);
    if (!answer->arrived) complete = false;
    if (!answer->data) continue;
    size_t length = static_cast<size_t>(gtk_selection_data_get_length(answer->data));
    total += length;
    if (total > kSnapshotBytes) complete = false;
    if (!complete) break;
    const guchar* bytes = gtk_selection_data_get_data(answer->data);
    item.emplace_back(type, std::string(reinterpret_cast<const char*>(bytes), length));
  }
  g_free(targets);
  if (!complete) {
    Log::app.error("클립보드를 제때 다 읽지 못해 그대로 둡니다 (%{public}s)",
                   total > kSnapshotBytes ? "너무 큼" : "응답 없음");
    return {};
  }
  lastItemsComplete_ = true;
  if (item.empty()) return {};
  return {item};
}

void GtkPasteboard::clearContents() {
  // Owning the selection with nothing to offer: a copy that selects nothing then reads as
  // nothing, rather than as whatever another program left behind.
  servingSecret_ = false;
  if (!emptyOwner_) emptyOwner_ = g_object_ref_sink(gtk_invisible_new());
  gtk_selection_owner_set(GTK_WIDGET(emptyOwner_), GDK_SELECTION_CLIPBOARD, GDK_CURRENT_TIME);
}

void GtkPasteboard::writeItems(const std::vector<platform::PasteboardItem>& items) {
  Served* served = buildServed(merge(items));
  served->onFetch = onFetch_;
  if (served->names.empty()) {
    delete served;
    clearContents();
    return;
  }
  std::vector<GtkTargetEntry> entries;
  for (size_t i = 0; i < served->names.size(); ++i)
    entries.push_back({const_cast<gchar*>(served->names[i].c_str()), 0, static_cast<guint>(i)});
  bool secret = served->secret;
  gtk_clipboard_set_with_data(clipboard_, entries.data(), static_cast<guint>(entries.size()), serve,
                              release, served);
  servingSecret_ = secret;
  if (!secret) gtk_clipboard_set_can_store(clipboard_, nullptr, 0);
}

std::optional<std::string> GtkPasteboard::string() {
  gchar* text = gtk_clipboard_wait_for_text(clipboard_);
  if (!text) return std::nullopt;
  std::string s(text);
  g_free(text);
  return s;
}

Task<bool> GtkPasteboard::awaitSignal(Clock& clock, double maxSeconds, std::function<void()>& hook,
                                      double margin) {
  Completion<bool> done;
  auto settled = std::make_shared<bool>(false);
  auto settle = [done, settled](bool early) mutable {
    if (!std::exchange(*settled, true)) done.resolve(early);
  };
  Clock::TimerId deadline = clock.schedule(maxSeconds, [settle]() mutable { settle(false); });
  auto fired = std::make_shared<bool>(false);
  auto quiet = std::make_shared<std::optional<Clock::TimerId>>();
  // With a margin, every further signal starts the margin again.
  hook = [&clock, settle, deadline, margin, fired, quiet]() mutable {
    if (!std::exchange(*fired, true)) clock.cancel(deadline);
    if (margin <= 0) return settle(true);
    if (*quiet) clock.cancel(**quiet);
    *quiet = clock.schedule(margin, [settle]() mutable { settle(true); });
  };
  bool early = co_await done;
  hook = nullptr;
  co_return early;
}

Task<bool> GtkPasteboard::awaitOwnerChange(Clock& clock, double maxSeconds) {
  return awaitSignal(clock, maxSeconds, onForeignOwner_, 0);
}

Task<bool> GtkPasteboard::awaitFetch(Clock& clock, double maxSeconds) {
  return awaitSignal(clock, maxSeconds, *onFetch_, kFetchMargin);
}

void GtkPasteboard::storeForClipboardManager() {
  if (servingSecret_) return;  // a secret is never handed on
  gtk_clipboard_store(clipboard_);
}

}  // namespace linuxport

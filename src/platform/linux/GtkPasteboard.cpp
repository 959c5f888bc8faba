#include "platform/linux/GtkPasteboard.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>

namespace linuxport {

namespace {

// Targets that describe the selection rather than hold its contents.
bool isMetaTarget(const std::string& name) {
  static const std::set<std::string> meta = {"TIMESTAMP",      "TARGETS", "MULTIPLE",
                                             "SAVE_TARGETS",   "DELETE",  "INSERT_SELECTION",
                                             "INSERT_PROPERTY"};
  return meta.count(name) > 0;
}

// The names under which X11 programs ask for plain UTF-8 text.
const std::vector<std::string>& textAliases() {
  static const std::vector<std::string> aliases = {platform::Pasteboard::kStringType,
                                                   "UTF8_STRING",
                                                   "text/plain",
                                                   "TEXT",
                                                   "STRING",
                                                   "COMPOUND_TEXT"};
  return aliases;
}

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
  std::vector<std::string> bytes;
};

void serve(GtkClipboard*, GtkSelectionData* data, guint info, gpointer user) {
  auto* served = static_cast<Served*>(user);
  if (info >= served->bytes.size()) return;
  const std::string& b = served->bytes[info];
  if (served->onFetch && *served->onFetch) (*served->onFetch)();
  gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
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
  const std::string* text = nullptr;
  for (const auto& [type, bytes] : s->item) {
    s->names.push_back(type);
    s->bytes.push_back(bytes);
    if (type == platform::Pasteboard::kStringType) text = &bytes;
  }
  if (text) {  // plain text is also offered under the other names programs ask for
    std::string copy = *text;
    for (const auto& alias : textAliases()) {
      if (std::find(s->names.begin(), s->names.end(), alias) != s->names.end()) continue;
      s->names.push_back(alias);
      s->bytes.push_back(copy);
    }
  }
  return s;
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
  GdkAtom* targets = nullptr;
  gint count = 0;
  if (!gtk_clipboard_wait_for_targets(clipboard_, &targets, &count) || count == 0) {
    g_free(targets);
    return {};
  }
  platform::PasteboardItem item;
  for (gint i = 0; i < count; ++i) {
    gchar* name = gdk_atom_name(targets[i]);
    std::string type(name);
    g_free(name);
    if (isMetaTarget(type)) continue;
    if (std::any_of(item.begin(), item.end(), [&](const auto& p) { return p.first == type; }))
      continue;
    GtkSelectionData* data = gtk_clipboard_wait_for_contents(clipboard_, targets[i]);
    if (!data) continue;
    gint length = gtk_selection_data_get_length(data);
    if (length >= 0) {
      const guchar* bytes = gtk_selection_data_get_data(data);
      item.emplace_back(
          type, std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length)));
    }
    gtk_selection_data_free(data);
  }
  g_free(targets);
  if (item.empty()) return {};
  return {item};
}

void GtkPasteboard::clearContents() {
  // Owning the selection with nothing to offer: a copy that selects nothing then reads as
  // nothing, rather than as whatever another program left behind.
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
  gtk_clipboard_set_with_data(clipboard_, entries.data(), static_cast<guint>(entries.size()), serve,
                              release, served);
  gtk_clipboard_set_can_store(clipboard_, nullptr, 0);
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
  gtk_clipboard_store(clipboard_);
}

}  // namespace linuxport

// Another program on the test desktop: owns the clipboard with given targets and/or shows a
// window, prints "ready" once it does, and exits when its standard input closes.
//   mirelo_test_peer [--app-id ID] [--window TITLE] [--target NAME=FILE]...
// With --read NAME it instead prints that clipboard target's bytes as base64 ("-" if the
// clipboard does not offer it) and exits.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Target {
  std::string name;
  std::string bytes;
};
std::vector<Target> targets;

void serve(GtkClipboard*, GtkSelectionData* data, guint info, gpointer) {
  const auto& b = targets[info].bytes;
  gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
                         reinterpret_cast<const guchar*>(b.data()), static_cast<gint>(b.size()));
}

void clear(GtkClipboard*, gpointer) {}

gboolean stdinClosed(GIOChannel*, GIOCondition, gpointer) {
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

std::string readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

int main(int argc, char** argv) {
  std::string appId, title, readTarget;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--app-id")) appId = argv[i + 1];
    if (!std::strcmp(argv[i], "--window")) title = argv[i + 1];
    if (!std::strcmp(argv[i], "--read")) readTarget = argv[i + 1];
    if (!std::strcmp(argv[i], "--target")) {
      std::string spec = argv[i + 1];
      auto eq = spec.find('=');
      targets.push_back({spec.substr(0, eq), readFile(spec.substr(eq + 1).c_str())});
    }
  }
  gtk_init(&argc, &argv);
  if (!readTarget.empty()) {
    GtkSelectionData* data = gtk_clipboard_wait_for_contents(
        gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), gdk_atom_intern(readTarget.c_str(), FALSE));
    if (!data || gtk_selection_data_get_length(data) < 0) {
      std::printf("-\n");
    } else {
      gchar* b64 = g_base64_encode(gtk_selection_data_get_data(data),
                                   static_cast<gsize>(gtk_selection_data_get_length(data)));
      std::printf("%s\n", b64);
      g_free(b64);
    }
    if (data) gtk_selection_data_free(data);
    return 0;
  }
  GtkWidget* window = nullptr;
  if (!title.empty()) {
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), title.c_str());
    gtk_window_set_default_size(GTK_WINDOW(window), 300, 120);
    gtk_container_add(GTK_CONTAINER(window), gtk_entry_new());
    gtk_widget_show_all(window);
    if (!appId.empty()) {
      GdkWindow* gdkWindow = gtk_widget_get_window(window);
      gdk_property_change(gdkWindow, gdk_atom_intern("_GTK_APPLICATION_ID", FALSE),
                          gdk_atom_intern("UTF8_STRING", FALSE), 8, GDK_PROP_MODE_REPLACE,
                          reinterpret_cast<const guchar*>(appId.c_str()),
                          static_cast<gint>(appId.size()));
    }
    gdk_window_focus(gtk_widget_get_window(window), GDK_CURRENT_TIME);
  }
  if (!targets.empty()) {
    std::vector<GtkTargetEntry> entries;
    for (size_t i = 0; i < targets.size(); ++i)
      entries.push_back({const_cast<gchar*>(targets[i].name.c_str()), 0, static_cast<guint>(i)});
    gtk_clipboard_set_with_data(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), entries.data(),
                                static_cast<guint>(entries.size()), serve, clear, nullptr);
  }
  gdk_display_sync(gdk_display_get_default());
  std::printf("ready\n");
  std::fflush(stdout);
  GIOChannel* in = g_io_channel_unix_new(0);
  g_io_add_watch(in, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), stdinClosed,
                 nullptr);
  gtk_main();
  return 0;
}

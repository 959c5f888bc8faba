#include "platform/linux/GtkFileDialogs.h"

#include <gtk/gtk.h>

#include "platform/linux/WebKitWindow.h"

namespace linuxport::GtkFileDialogs {

namespace {

// What to do with a dialog once the user answered it.
using Finish = std::function<void(GtkFileChooser*, bool accepted)>;

GtkWindow* parentOf(const platform::FileDialog& dialog) {
  auto* window = dynamic_cast<const WebKitWindow*>(dialog.parent);
  return window ? window->gtkWindow() : nullptr;
}

void addFilter(GtkFileChooser* chooser, const platform::FileDialog& dialog) {
  if (dialog.patterns.empty() && dialog.mimeTypes.empty()) return;
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, "지원하는 파일");
  for (const auto& p : dialog.patterns)
    gtk_file_filter_add_pattern(filter, p.c_str());
  for (const auto& m : dialog.mimeTypes)
    gtk_file_filter_add_mime_type(filter, m.c_str());
  gtk_file_chooser_add_filter(chooser, filter);  // takes the filter
}

void onResponse(GtkNativeDialog* native, gint response, gpointer data) {
  auto* finish = static_cast<Finish*>(data);
  g_signal_handlers_disconnect_by_data(native, data);
  (*finish)(GTK_FILE_CHOOSER(native), response == GTK_RESPONSE_ACCEPT);
  delete finish;
  g_object_unref(native);  // the reference held while it was open
}

// Shows native and calls finish once with its answer; the dialog lives until then.
void run(GtkFileChooserNative* native, Finish finish) {
  g_signal_connect(native, "response", G_CALLBACK(onResponse), new Finish(std::move(finish)));
  gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(native), TRUE);
  gtk_native_dialog_show(GTK_NATIVE_DIALOG(native));
}

std::vector<std::string> chosenPaths(GtkFileChooser* chooser) {
  std::vector<std::string> paths;
  GSList* files = gtk_file_chooser_get_files(chooser);
  for (GSList* f = files; f; f = f->next) {
    if (gchar* path = g_file_get_path(G_FILE(f->data))) {
      paths.emplace_back(path);
      g_free(path);
    }
  }
  g_slist_free_full(files, g_object_unref);
  return paths;
}

}  // namespace

void chooseSavePath(const platform::FileDialog& dialog,
                    std::function<void(std::optional<std::string>)> done) {
  GtkFileChooserNative* native = gtk_file_chooser_native_new(
      nullptr, parentOf(dialog), GTK_FILE_CHOOSER_ACTION_SAVE, "저장", "취소");
  auto* chooser = GTK_FILE_CHOOSER(native);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  if (!dialog.directory.empty())
    gtk_file_chooser_set_current_folder(chooser, dialog.directory.c_str());
  if (!dialog.name.empty()) gtk_file_chooser_set_current_name(chooser, dialog.name.c_str());
  run(native, [done = std::move(done)](GtkFileChooser* c, bool accepted) {
    auto paths = accepted ? chosenPaths(c) : std::vector<std::string>();
    done(paths.empty() ? std::nullopt : std::optional<std::string>(paths.front()));
  });
}

void chooseOpenPaths(const platform::FileDialog& dialog,
                     std::function<void(std::vector<std::string>)> done) {
  bool folders = dialog.directories && dialog.patterns.empty() && dialog.mimeTypes.empty();
  GtkFileChooserNative* native = gtk_file_chooser_native_new(
      nullptr, parentOf(dialog),
      folders ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER : GTK_FILE_CHOOSER_ACTION_OPEN, "열기",
      "취소");
  auto* chooser = GTK_FILE_CHOOSER(native);
  gtk_file_chooser_set_select_multiple(chooser, dialog.multiple);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  if (!dialog.directory.empty())
    gtk_file_chooser_set_current_folder(chooser, dialog.directory.c_str());
  if (!folders) addFilter(chooser, dialog);
  run(native, [done = std::move(done)](GtkFileChooser* c, bool accepted) {
    done(accepted ? chosenPaths(c) : std::vector<std::string>());
  });
}

}  // namespace linuxport::GtkFileDialogs

#include "platform/linux/WebKitDownloadWatch.h"

namespace linuxport {

namespace {

// The signal handlers' share of a watch, released with the download's handlers.
using Holder = std::shared_ptr<WebKitDownloadWatch>;

void releaseHolder(gpointer data, GClosure*) {
  delete static_cast<Holder*>(data);
}

WebKitDownloadWatch* watchOf(gpointer data) {
  return static_cast<Holder*>(data)->get();
}

}  // namespace

std::weak_ptr<WebKitDownloadWatch> WebKitDownloadWatch::follow(WebKitDownload* download,
                                                               std::function<Ask()> ask,
                                                               std::function<End()> end) {
  auto watch = std::make_shared<WebKitDownloadWatch>(download, std::move(ask), std::move(end));
  const std::pair<const char*, GCallback> signals[] = {
      {"decide-destination", G_CALLBACK(onDecideDestination)},
      {"failed", G_CALLBACK(onFailed)},
      {"finished", G_CALLBACK(onFinished)}};
  for (const auto& [name, callback] : signals)
    g_signal_connect_data(download, name, callback, new Holder(watch), releaseHolder,
                          GConnectFlags(0));
  return watch;
}

WebKitDownloadWatch::WebKitDownloadWatch(WebKitDownload* download, std::function<Ask()> ask,
                                         std::function<End()> end)
    : download_(WEBKIT_DOWNLOAD(g_object_ref(download))),
      ask_(std::move(ask)),
      end_(std::move(end)) {}

WebKitDownloadWatch::~WebKitDownloadWatch() {
  g_object_unref(download_);
}

gboolean WebKitDownloadWatch::onDecideDestination(WebKitDownload*, gchar* suggested,
                                                  gpointer data) {
  auto* self = watchOf(data);
  Ask ask = self->ask_();
  if (!ask) {
    self->answered_ = true;
    webkit_download_cancel(self->download_);
    return TRUE;
  }
  self->asked_ = true;
  // Answered later: WebKit holds the transfer until a destination is set or it is cancelled.
  std::weak_ptr<WebKitDownloadWatch> weak = self->shared_from_this();
  ask(suggested ? suggested : "", [weak](std::optional<std::string> path) {
    if (auto watch = weak.lock()) watch->answer(path);
  });
  return TRUE;
}

void WebKitDownloadWatch::answer(const std::optional<std::string>& path) {
  if (answered_ || finished_) return;
  answered_ = true;
  if (!path || path->empty()) return webkit_download_cancel(download_);
  gchar* uri = g_filename_to_uri(path->c_str(), nullptr, nullptr);
  if (!uri) return webkit_download_cancel(download_);
  // The save dialog has already asked whether to replace an existing file.
  webkit_download_set_allow_overwrite(download_, TRUE);
  webkit_download_set_destination(download_, uri);
  g_free(uri);
}

void WebKitDownloadWatch::abandon() {
  ask_ = [] { return Ask(); };
  end_ = [] { return End(); };
  answer(std::nullopt);
}

void WebKitDownloadWatch::onFailed(WebKitDownload*, GError* error, gpointer data) {
  auto* self = watchOf(data);
  if (!self->failure_)
    self->failure_ = error && error->message ? error->message : "download failed";
}

void WebKitDownloadWatch::onFinished(WebKitDownload* download, gpointer data) {
  auto* self = watchOf(data);
  if (self->finished_) return;
  self->finished_ = true;
  std::optional<std::string> failure = self->failure_;
  bool asked = self->asked_;
  End end = self->end_();
  // WebKit emits nothing more: the handlers (and with them this watch) go.
  g_signal_handlers_disconnect_matched(download, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                       reinterpret_cast<gpointer>(onDecideDestination), nullptr);
  g_signal_handlers_disconnect_matched(download, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                       reinterpret_cast<gpointer>(onFailed), nullptr);
  g_signal_handlers_disconnect_matched(download, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                       reinterpret_cast<gpointer>(onFinished), nullptr);
  if (asked && end) end(failure);
}

}  // namespace linuxport

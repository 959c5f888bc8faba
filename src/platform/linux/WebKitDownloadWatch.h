#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace linuxport {

// One download of a view, from the choice of its destination to its end. The view hands in
// how to ask where to save and what to tell at the end (each read when it is needed; an
// empty ask cancels the download, and only a download that was asked about is told its end).
class WebKitDownloadWatch : public std::enable_shared_from_this<WebKitDownloadWatch> {
 public:
  using Answer = std::function<void(std::optional<std::string> path)>;
  using Ask = std::function<void(const std::string& suggestedName, Answer answer)>;
  using End = std::function<void(std::optional<std::string> failure)>;

  // Follows download until it finishes; it keeps itself alive as long as WebKit reports.
  static std::weak_ptr<WebKitDownloadWatch> follow(WebKitDownload* download,
                                                   std::function<Ask()> ask,
                                                   std::function<End()> end);

  WebKitDownloadWatch(WebKitDownload* download, std::function<Ask()> ask, std::function<End()> end);
  ~WebKitDownloadWatch();
  // Cancels the download unless its destination was already given (its view is going).
  void abandon();
  WebKitDownloadWatch(const WebKitDownloadWatch&) = delete;
  WebKitDownloadWatch& operator=(const WebKitDownloadWatch&) = delete;

 private:
  static gboolean onDecideDestination(WebKitDownload*, gchar* suggested, gpointer self);
  static void onFailed(WebKitDownload*, GError* error, gpointer self);
  static void onFinished(WebKitDownload*, gpointer self);
  void answer(const std::optional<std::string>& path);

  WebKitDownload* download_;
  std::function<Ask()> ask_;
  std::function<End()> end_;
  bool asked_ = false, answered_ = false, finished_ = false;
  std::optional<std::string> failure_;
};

}  // namespace linuxport

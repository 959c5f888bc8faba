#pragma once

#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/WebViews.h"
#include "platform/linux/WebKitDownloadWatch.h"
#include "platform/linux/WebKitPopups.h"

namespace linuxport {

// A WebKitGTK view. WebKit tells a handler neither the frame nor the origin of a message, so
// the handlers live in an isolated script world that only a relay injected into the top
// frame can reach: pages post with window.mireloNative.post(name, body), the relay forwards
// what the top frame itself posted and answers every other frame "not-allowed", and the
// origin is that of the view's current page. Downloads, file inputs and new windows of the
// page go to the view's callbacks; no window of its own is ever shown.
class WebKitView : public platform::WebView {
 public:
  WebKitView(WebKitWebContext* context, bool hidden);
  ~WebKitView() override;
  WebKitView(const WebKitView&) = delete;
  WebKitView& operator=(const WebKitView&) = delete;

  void load(const std::string& url) override;
  std::string url() const override;
  void stop() override;
  void addHandler(const std::string& name,
                  std::function<void(const platform::ScriptMessage&)> handler) override;
  void addReplyHandler(
      const std::string& name,
      std::function<void(const platform::ScriptMessage&, platform::ScriptReply)> handler) override;
  void removeHandlers() override;
  void callAsync(const std::string& body, const Json& arguments,
                 std::function<void(platform::ScriptResult)> done) override;

  WebKitWebView* widget() const { return view_; }
  // Views held for empty windows the page opened, not yet resolved.
  std::size_t pendingPopups() const { return popups_.pending(); }
  // Scheme, host and port of a URI (port 0 when it has none).
  static platform::SecurityOrigin originOf(const std::string& uri);

  struct Handler;

 private:
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static gboolean onLoadFailedSignal(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                     gpointer self);
  static void onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);
  static void onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer self);
  static gboolean onRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request,
                                   gpointer self);
  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self);

  WebKitWebContext* context_ = nullptr;
  WebKitUserContentManager* contents_ = nullptr;
  WebKitWebView* view_ = nullptr;
  GCancellable* cancellable_ = nullptr;
  std::vector<std::unique_ptr<Handler>> handlers_;
  std::vector<std::weak_ptr<WebKitDownloadWatch>> downloads_;
  WebKitPopups popups_{[this](const std::string& url) {
    if (onOpenWindow) onOpenWindow(url);
  }};
  // Answers that come back after the view is gone find it expired.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace linuxport

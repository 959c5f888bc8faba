#pragma once

#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/WebViews.h"

namespace linuxport {

// A WebKitGTK view. WebKit tells a handler neither the frame nor the origin of a message, so
// the handlers live in an isolated script world that only a relay injected into the top
// frame can reach: pages post with window.mireloNative.post(name, body), the relay forwards
// what the top frame itself posted and answers every other frame "not-allowed", and the
// origin is that of the view's current page.
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
  // Scheme, host and port of a URI (port 0 when it has none).
  static platform::SecurityOrigin originOf(const std::string& uri);

  struct Handler;

 private:
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static gboolean onLoadFailedSignal(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                     gpointer self);
  static void onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);

  WebKitUserContentManager* contents_ = nullptr;
  WebKitWebView* view_ = nullptr;
  GCancellable* cancellable_ = nullptr;
  std::vector<std::unique_ptr<Handler>> handlers_;
};

}  // namespace linuxport

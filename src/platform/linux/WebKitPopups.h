#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <string>
#include <vector>

namespace linuxport {

// The views a page gets for windows it opens without an address (window.open('') and then
// location = …). They are never put in a window: each waits, hidden, for its first real
// navigation, which is reported to open instead of being loaded, and is then dropped.
class WebKitPopups {
 public:
  explicit WebKitPopups(std::function<void(const std::string& url)> open)
      : open_(std::move(open)) {}
  ~WebKitPopups();
  WebKitPopups(const WebKitPopups&) = delete;
  WebKitPopups& operator=(const WebKitPopups&) = delete;

  // The answer to a view's "create": a new view for an empty window, nothing for a window
  // with a real address (reported at once).
  GtkWidget* create(WebKitWebView* opener, WebKitNavigationAction* action);
  std::size_t pending() const { return views_.size(); }

  // "about:blank" and no address at all are not real addresses.
  static bool isBlank(const char* uri);

 private:
  static gboolean onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static void onClose(WebKitWebView* view, gpointer self);
  void drop(WebKitWebView* view);

  std::function<void(const std::string&)> open_;
  std::vector<WebKitWebView*> views_;
};

}  // namespace linuxport

#include "platform/linux/WebKitPopups.h"

#include <algorithm>

namespace linuxport {

namespace {

// WebKit may still be inside the dropped view's own signal: it goes once the loop is idle.
void destroyLater(WebKitWebView* view) {
  g_idle_add(
      [](gpointer data) {
        gtk_widget_destroy(GTK_WIDGET(data));
        g_object_unref(data);
        return G_SOURCE_REMOVE;
      },
      view);
}

}  // namespace

WebKitPopups::~WebKitPopups() {
  for (WebKitWebView* view : views_) {
    g_signal_handlers_disconnect_by_data(view, this);
    webkit_web_view_stop_loading(view);
    destroyLater(view);
  }
}

bool WebKitPopups::isBlank(const char* uri) {
  return !uri || !*uri || g_strcmp0(uri, "about:blank") == 0;
}

GtkWidget* WebKitPopups::create(WebKitWebView* opener, WebKitNavigationAction* action) {
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (!isBlank(uri)) {
    open_(uri);
    return nullptr;
  }
  auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_related_view(opener));
  g_object_ref_sink(view);
  g_signal_connect(view, "decide-policy", G_CALLBACK(onDecidePolicy), this);
  g_signal_connect(view, "close", G_CALLBACK(onClose), this);
  views_.push_back(view);
  return GTK_WIDGET(view);
}

gboolean WebKitPopups::onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                      WebKitPolicyDecisionType type, gpointer data) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  auto* self = static_cast<WebKitPopups*>(data);
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (isBlank(uri)) return FALSE;
  std::string url = uri;
  webkit_policy_decision_ignore(decision);
  self->drop(view);
  self->open_(url);
  return TRUE;
}

void WebKitPopups::onClose(WebKitWebView* view, gpointer data) {
  static_cast<WebKitPopups*>(data)->drop(view);
}

void WebKitPopups::drop(WebKitWebView* view) {
  auto it = std::find(views_.begin(), views_.end(), view);
  if (it == views_.end()) return;
  views_.erase(it);
  g_signal_handlers_disconnect_by_data(view, this);
  destroyLater(view);
}

}  // namespace linuxport

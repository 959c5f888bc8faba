#include "platform/linux/WebKitView.h"

#include <cctype>

namespace linuxport {

namespace {

constexpr const char* kWorld = "mirelo";

// Page world, every frame: the page's way to post, answered by the relay through the top
// frame's window messages.
constexpr const char* kPageScript = R"JS((() => {
  if (window.mireloNative) return;
  let next = 1;
  const pending = new Map();
  window.addEventListener('message', (e) => {
    const r = e.data && e.data.mireloReply;
    if (!r || e.source !== window.top || !pending.has(r.id)) return;
    const p = pending.get(r.id);
    pending.delete(r.id);
    if ('error' in r) p.reject(new Error(r.error)); else p.resolve(r.value);
  });
  const post = (name, body) => new Promise((resolve, reject) => {
    const id = next++;
    pending.set(id, {resolve, reject});
    try {
      window.top.postMessage({mireloRequest: {id, name: String(name), body}}, '*');
    } catch (err) {
      pending.delete(id);
      reject(err);
    }
  });
  Object.defineProperty(window, 'mireloNative', {value: Object.freeze({post})});
})();)JS";

// Isolated world, top frame only: forwards the top frame's own requests to the handlers.
constexpr const char* kRelayScript = R"JS((() => {
  window.addEventListener('message', (e) => {
    const q = e.data && e.data.mireloRequest;
    if (!q || typeof q.id !== 'number' || !e.source) return;
    const answer = (reply) => {
      try { e.source.postMessage({mireloReply: Object.assign({id: q.id}, reply)}, '*'); } catch (_) {}
    };
    const handler = e.source === window && window.webkit.messageHandlers[q.name];
    if (!handler) return answer({error: 'not-allowed'});
    handler.postMessage(q.body === undefined ? null : q.body).then(
        (value) => answer({value}),
        (err) => answer({error: String(err && err.message !== undefined ? err.message : err)}));
  });
})();)JS";

void addScript(WebKitUserContentManager* contents, const char* source,
               WebKitUserContentInjectedFrames frames, const char* world) {
  WebKitUserScript* script =
      world ? webkit_user_script_new_for_world(source, frames,
                                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, world,
                                               nullptr, nullptr)
            : webkit_user_script_new(source, frames, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START,
                                     nullptr, nullptr);
  webkit_user_content_manager_add_script(contents, script);
  webkit_user_script_unref(script);
}

void disableHiddenThrottling(WebKitSettings* settings) {
  WebKitFeatureList* features = webkit_settings_get_all_features();
  for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
    WebKitFeature* f = webkit_feature_list_get(features, i);
    if (g_strcmp0(webkit_feature_get_identifier(f), "HiddenPageDOMTimerThrottling") == 0)
      webkit_settings_set_feature_enabled(settings, f, FALSE);
  }
  webkit_feature_list_unref(features);
}

Json toJson(JSCValue* value) {
  if (!value) return nullptr;
  char* text = jsc_value_to_json(value, 0);
  if (!text) return nullptr;
  auto parsed = JsonValue::parse(text);
  g_free(text);
  return parsed ? *parsed : Json(nullptr);
}

bool isIdentifier(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (unsigned char c : name)
    if (!std::isalnum(c) && c != '_' && c != '$') return false;
  return true;
}

// A reply kept until it is given; one never given rejects the page's promise.
struct PendingReply {
  PendingReply(WebKitScriptMessageReply* r, JSCValue* value)
      : reply(webkit_script_message_reply_ref(r)),
        context(JSC_CONTEXT(g_object_ref(jsc_value_get_context(value)))) {}
  PendingReply(const PendingReply&) = delete;
  PendingReply& operator=(const PendingReply&) = delete;
  WebKitScriptMessageReply* reply;
  JSCContext* context;
  bool done = false;
  ~PendingReply() {
    if (!done) webkit_script_message_reply_return_error_message(reply, "no answer");
    webkit_script_message_reply_unref(reply);
    g_object_unref(context);
  }
  void give(const std::optional<Json>& value, const std::string& error) {
    if (done) return;
    done = true;
    if (!value) return webkit_script_message_reply_return_error_message(reply, error.c_str());
    std::string text = value->dump(-1, ' ', false, Json::error_handler_t::replace);
    JSCValue* v = jsc_value_new_from_json(context, text.c_str());
    webkit_script_message_reply_return_value(reply, v);
    g_object_unref(v);
  }
};

// A file input's request, answered once; one whose answer is dropped unanswered is cancelled.
struct FileChoice {
  explicit FileChoice(WebKitFileChooserRequest* r)
      : request(WEBKIT_FILE_CHOOSER_REQUEST(g_object_ref(r))) {}
  FileChoice(const FileChoice&) = delete;
  FileChoice& operator=(const FileChoice&) = delete;
  ~FileChoice() {
    give({});
    g_object_unref(request);
  }
  void give(const std::vector<std::string>& paths) {
    if (answered) return;
    answered = true;
    if (paths.empty()) return webkit_file_chooser_request_cancel(request);
    std::vector<const gchar*> files;
    for (const auto& p : paths)
      files.push_back(p.c_str());
    files.push_back(nullptr);
    webkit_file_chooser_request_select_files(request, files.data());
  }
  WebKitFileChooserRequest* request;
  bool answered = false;
};

struct CallData {
  std::function<void(platform::ScriptResult)> done;
};

void onCallFinished(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<CallData> call(static_cast<CallData*>(data));
  GError* error = nullptr;
  JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source),
                                                                          result, &error);
  if (error) {
    bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    std::string message = error->message;
    g_error_free(error);
    if (!cancelled) call->done({std::nullopt, message});
    return;
  }
  Json json = toJson(value);
  if (value) g_object_unref(value);
  call->done({std::move(json), std::nullopt});
}

}  // namespace

struct WebKitView::Handler {
  WebKitView* owner;
  std::string name;
  std::function<void(const platform::ScriptMessage&, platform::ScriptReply)> fn;
  gulong signal = 0;

  static gboolean onMessage(WebKitUserContentManager*, JSCValue* value,
                            WebKitScriptMessageReply* reply, gpointer data) {
    auto* h = static_cast<Handler*>(data);
    auto pending = std::make_shared<PendingReply>(reply, value);
    platform::ScriptMessage message{toJson(value), true, originOf(h->owner->url()),
                                    h->owner->identity()};
    h->fn(message, [pending](std::optional<Json> v, std::string e) { pending->give(v, e); });
    return TRUE;
  }
};

WebKitView::WebKitView(WebKitWebContext* context, bool hidden)
    : context_(WEBKIT_WEB_CONTEXT(g_object_ref(context))) {
  contents_ = webkit_user_content_manager_new();
  addScript(contents_, kPageScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, nullptr);
  addScript(contents_, kRelayScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, kWorld);
  WebKitSettings* settings = webkit_settings_new();
  webkit_settings_set_user_agent_with_application_details(settings, "MireloLinux", "1.0");
  if (hidden) {
    disableHiddenThrottling(settings);
    // Nothing of a never-shown page is composited: without the GL layers its web process
    // stays about 6 MB smaller.
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  }
  view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                       "user-content-manager", contents_, "settings", settings,
                                       nullptr));
  g_object_unref(settings);
  g_object_ref_sink(view_);
  gtk_widget_set_size_request(GTK_WIDGET(view_), 800, 600);
  cancellable_ = g_cancellable_new();
  g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(onLoadFailedSignal), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(onTerminated), this);
  g_signal_connect(view_, "run-file-chooser", G_CALLBACK(onRunFileChooser), this);
  g_signal_connect(view_, "create", G_CALLBACK(onCreate), this);
  g_signal_connect(context_, "download-started", G_CALLBACK(onDownloadStarted), this);
}

WebKitView::~WebKitView() {
  g_cancellable_cancel(cancellable_);
  removeHandlers();
  g_signal_handlers_disconnect_by_data(view_, this);
  g_signal_handlers_disconnect_by_data(context_, this);
  for (auto& weak : downloads_)
    if (auto watch = weak.lock()) watch->abandon();
  webkit_web_view_stop_loading(view_);
  gtk_widget_destroy(GTK_WIDGET(view_));
  g_object_unref(view_);
  g_object_unref(contents_);
  g_object_unref(cancellable_);
  g_object_unref(context_);
}

void WebKitView::load(const std::string& url) {
  webkit_web_view_load_uri(view_, url.c_str());
}

std::string WebKitView::url() const {
  const char* uri = webkit_web_view_get_uri(view_);
  return uri ? uri : "";
}

void WebKitView::stop() {
  webkit_web_view_stop_loading(view_);
}

void WebKitView::addHandler(const std::string& name,
                            std::function<void(const platform::ScriptMessage&)> handler) {
  addReplyHandler(name, [handler = std::move(handler)](const platform::ScriptMessage& m,
                                                       platform::ScriptReply reply) {
    reply(Json(nullptr), {});
    handler(m);
  });
}

void WebKitView::addReplyHandler(
    const std::string& name,
    std::function<void(const platform::ScriptMessage&, platform::ScriptReply)> handler) {
  if (!webkit_user_content_manager_register_script_message_handler_with_reply(contents_,
                                                                              name.c_str(), kWorld))
    return;
  auto h = std::make_unique<Handler>(Handler{this, name, std::move(handler)});
  std::string signal = "script-message-with-reply-received::" + name;
  h->signal = g_signal_connect(contents_, signal.c_str(), G_CALLBACK(Handler::onMessage), h.get());
  handlers_.push_back(std::move(h));
}

void WebKitView::removeHandlers() {
  for (auto& h : handlers_) {
    g_signal_handler_disconnect(contents_, h->signal);
    webkit_user_content_manager_unregister_script_message_handler_in_world(contents_,
                                                                           h->name.c_str(), kWorld);
  }
  handlers_.clear();
}

void WebKitView::callAsync(const std::string& body, const Json& arguments,
                           std::function<void(platform::ScriptResult)> done) {
  // Booleans, arrays and null do not pass as call arguments: they travel as one JSON text.
  std::string script = "const __mireloArguments = JSON.parse(__mireloArgumentText);\n";
  for (auto& [name, value] : arguments.items()) {
    if (!isIdentifier(name)) return done({std::nullopt, "bad argument name: " + name});
    script += "const " + name + " = __mireloArguments[\"" + name + "\"];\n";
  }
  script += body;
  GVariantDict dict;
  g_variant_dict_init(&dict, nullptr);
  std::string text = arguments.dump(-1, ' ', false, Json::error_handler_t::replace);
  g_variant_dict_insert(&dict, "__mireloArgumentText", "s", text.c_str());
  webkit_web_view_call_async_javascript_function(
      view_, script.c_str(), -1, g_variant_dict_end(&dict), nullptr, nullptr, cancellable_,
      onCallFinished, new CallData{std::move(done)});
}

platform::SecurityOrigin WebKitView::originOf(const std::string& uri) {
  GUri* parsed = g_uri_parse(uri.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (!parsed) return {};
  platform::SecurityOrigin origin{g_uri_get_scheme(parsed) ? g_uri_get_scheme(parsed) : "",
                                  g_uri_get_host(parsed) ? g_uri_get_host(parsed) : "",
                                  std::max(g_uri_get_port(parsed), 0)};
  g_uri_unref(parsed);
  return origin;
}

gboolean WebKitView::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                    WebKitPolicyDecisionType type, gpointer data) {
  auto* self = static_cast<WebKitView*>(data);
  if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE || !self->onMainFrameResponse) return FALSE;
  auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
  if (!webkit_response_policy_decision_is_main_frame_main_resource(response)) return FALSE;
  int status = static_cast<int>(
      webkit_uri_response_get_status_code(webkit_response_policy_decision_get_response(response)));
  if (self->onMainFrameResponse(status)) return FALSE;
  webkit_policy_decision_ignore(decision);
  return TRUE;
}

gboolean WebKitView::onLoadFailedSignal(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                        gpointer data) {
  auto* self = static_cast<WebKitView*>(data);
  // A load that Mirelo stopped or replaced, or whose response it refused, is no failure here.
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
      g_error_matches(error, WEBKIT_POLICY_ERROR,
                      WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE))
    return TRUE;
  if (self->onLoadFailed) self->onLoadFailed(error->message);
  return TRUE;
}

void WebKitView::onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data) {
  auto* self = static_cast<WebKitView*>(data);
  if (self->onLoadFailed) self->onLoadFailed("the page's web process ended");
}

void WebKitView::onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer data) {
  auto* self = static_cast<WebKitView*>(data);
  if (webkit_download_get_web_view(download) != self->view_) return;
  std::erase_if(self->downloads_, [](const auto& w) { return w.expired(); });
  std::weak_ptr<bool> alive = self->alive_;
  auto ask = [self, alive] {
    return alive.expired() ? WebKitDownloadWatch::Ask() : self->onDownload;
  };
  auto end = [self, alive] {
    return alive.expired() ? WebKitDownloadWatch::End() : self->onDownloadEnded;
  };
  self->downloads_.push_back(WebKitDownloadWatch::follow(download, ask, end));
}

gboolean WebKitView::onRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request,
                                      gpointer data) {
  auto* self = static_cast<WebKitView*>(data);
  if (!self->onChooseFiles) {
    webkit_file_chooser_request_cancel(request);
    return TRUE;
  }
  auto choice = std::make_shared<FileChoice>(request);
  // WebKitGTK does not tell whether the input takes a folder (webkitdirectory): files only.
  self->onChooseFiles(false, webkit_file_chooser_request_get_select_multiple(request),
                      [choice](std::vector<std::string> paths) { choice->give(paths); });
  return TRUE;
}

GtkWidget* WebKitView::onCreate(WebKitWebView* view, WebKitNavigationAction* action,
                                gpointer data) {
  return static_cast<WebKitView*>(data)->popups_.create(view, action);
}

}  // namespace linuxport

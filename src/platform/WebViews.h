#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Json.h"

namespace platform {

// Scheme, host and port of a page; port 0 means the scheme's default port.
struct SecurityOrigin {
  std::string protocol;
  std::string host;
  int port = 0;
};

// A message a page posted to a named handler of its view.
struct ScriptMessage {
  Json body;                   // what the page posted, as JSON; null when it cannot be carried
  bool mainFrame = false;      // posted by the view's top frame itself
  SecurityOrigin origin;       // the origin of the page that posted it
  const void* view = nullptr;  // the view's identity, to compare with WebView::identity()
};

// The answer to a message with reply: a value, or an error text that rejects the page's
// promise. Call it once; it may be kept and called later.
using ScriptReply = std::function<void(std::optional<Json> value, std::string error)>;

// The outcome of an asynchronous script call: the function's value, or the page's own
// exception message.
struct ScriptResult {
  std::optional<Json> value;
  std::optional<std::string> failure;
};

// A web view on the shared persistent data store. Handlers hear only their own view.
class WebView {
 public:
  virtual ~WebView() = default;
  virtual void load(const std::string& url) = 0;
  virtual std::string url() const = 0;
  virtual void stop() = 0;

  virtual void addHandler(const std::string& name,
                          std::function<void(const ScriptMessage&)> handler) = 0;
  virtual void addReplyHandler(const std::string& name,
                               std::function<void(const ScriptMessage&, ScriptReply)> handler) = 0;
  virtual void removeHandlers() = 0;

  // Runs body as the body of an async function of the page, with the members of arguments
  // (an object) as named variables; done gets its value or its failure on the main context.
  virtual void callAsync(const std::string& body, const Json& arguments,
                         std::function<void(ScriptResult)> done) = 0;

  const void* identity() const { return this; }

  // The HTTP status of the main frame's page; answering false cancels it. Status 0 is not HTTP.
  std::function<bool(int status)> onMainFrameResponse;
  // A page load that failed, with the reason.
  std::function<void(const std::string& description)> onLoadFailed;
};

class WebViews {
 public:
  virtual ~WebViews() = default;
  // A view with the user-agent application name "MireloLinux/1.0"; a hidden one is never
  // shown and still runs its timers at full speed.
  virtual std::unique_ptr<WebView> create(bool hidden) = 0;
};

}  // namespace platform

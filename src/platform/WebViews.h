#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Json.h"
#include "platform/Rgb.h"

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

  // Downloads the page starts. onDownload is asked where to save (answer nothing to cancel);
  // every download it was asked about then ends exactly once, with the failure's text when
  // it failed or was cancelled. Without onDownload a download is cancelled.
  std::function<void(const std::string& suggestedName,
                     std::function<void(std::optional<std::string> path)> answer)>
      onDownload;
  std::function<void(std::optional<std::string> failure)> onDownloadEnded;

  // A file input of the page: whether it takes directories and several files; answer the
  // chosen paths, none when cancelled. Without it the input gets nothing.
  std::function<void(bool directories, bool multiple,
                     std::function<void(std::vector<std::string> paths)> answer)>
      onChooseFiles;

  // A window the page opened with a real address. An empty window is never shown: the port
  // keeps it until its first real navigation and reports that address here instead.
  std::function<void(const std::string& url)> onOpenWindow;
};

// How a top-level window around a web view looks.
struct WebWindowStyle {
  std::string title;
  int width = 0, height = 0;        // content size at first show
  int minWidth = 0, minHeight = 0;  // smallest content size
  Rgb background;                   // behind the page while it draws
};

// A resizable top-level window holding one web view. Closing it only hides it; present()
// shows it again, centred the first time, and brings it to the front.
class WebWindow {
 public:
  virtual ~WebWindow() = default;
  virtual WebView& view() = 0;
  virtual void present() = 0;
  // The user closed the window (it is hidden, not destroyed).
  std::function<void()> onClosed;
};

class WebViews {
 public:
  virtual ~WebViews() = default;
  // A view with the user-agent application name "MireloLinux/1.0"; a hidden one is never
  // shown and still runs its timers at full speed.
  virtual std::unique_ptr<WebView> create(bool hidden) = 0;
  // A window with its own view on the same store; nothing is shown before present().
  virtual std::unique_ptr<WebWindow> createWindow(const WebWindowStyle& style) = 0;
};

}  // namespace platform

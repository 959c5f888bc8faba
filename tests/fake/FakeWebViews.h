#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/WebViews.h"

namespace fake {

// A web view that records what it is asked to do; a test posts the page's messages and
// finishes its script calls.
class FakeWebView : public platform::WebView {
 public:
  struct Call {
    std::string body;
    Json arguments;
    std::function<void(platform::ScriptResult)> done;
  };

  FakeWebView(std::vector<std::string>& loads, std::vector<FakeWebView*>& live)
      : loads_(loads), live_(live) {
    live_.push_back(this);
  }
  ~FakeWebView() override { std::erase(live_, this); }

  void load(const std::string& url) override {
    url_ = url;
    loads_.push_back(url);
  }
  std::string url() const override { return url_; }
  void stop() override {}
  void addHandler(const std::string& name,
                  std::function<void(const platform::ScriptMessage&)> handler) override {
    handlers[name] = std::move(handler);
  }
  void addReplyHandler(
      const std::string& name,
      std::function<void(const platform::ScriptMessage&, platform::ScriptReply)> handler) override {
    replyHandlers[name] = std::move(handler);
  }
  void removeHandlers() override {
    handlers.clear();
    replyHandlers.clear();
  }
  void callAsync(const std::string& body, const Json& arguments,
                 std::function<void(platform::ScriptResult)> done) override {
    calls.push_back({body, arguments, std::move(done)});
  }

  // Posts body to a handler without reply as the page at origin would; false when none.
  bool post(const std::string& name, Json body, platform::SecurityOrigin origin,
            bool mainFrame = true) {
    auto it = handlers.find(name);
    if (it == handlers.end()) return false;
    it->second({std::move(body), mainFrame, std::move(origin), identity()});
    return true;
  }
  // What a handler with reply answered: its value, or the error text that rejects the promise.
  struct Reply {
    std::optional<Json> value;
    std::string error;
    int count = 0;  // how often the handler answered
  };
  // Posts body to a handler with reply; the answer lands in the returned reply (shared, so a
  // late answer still reaches it). Null when no such handler exists.
  std::shared_ptr<Reply> ask(const std::string& name, Json body, platform::SecurityOrigin origin,
                             bool mainFrame = true) {
    auto it = replyHandlers.find(name);
    if (it == replyHandlers.end()) return nullptr;
    auto out = std::make_shared<Reply>();
    it->second({std::move(body), mainFrame, std::move(origin), identity()},
               [out](std::optional<Json> value, std::string error) {
                 out->value = std::move(value);
                 out->error = std::move(error);
                 ++out->count;
               });
    return out;
  }
  // Finishes the oldest unfinished script call.
  void finishCall(platform::ScriptResult result) {
    Call call = std::move(calls.front());
    calls.erase(calls.begin());
    call.done(std::move(result));
  }

  std::map<std::string, std::function<void(const platform::ScriptMessage&)>> handlers;
  std::map<std::string, std::function<void(const platform::ScriptMessage&, platform::ScriptReply)>>
      replyHandlers;
  std::vector<Call> calls;

 private:
  std::vector<std::string>& loads_;
  std::vector<FakeWebView*>& live_;
  std::string url_;
};

// A window that counts how often it was brought to the front; a test closes it with onClosed.
class FakeWebWindow : public platform::WebWindow {
 public:
  FakeWebWindow(platform::WebWindowStyle style, std::unique_ptr<FakeWebView> view)
      : style(std::move(style)), view_(std::move(view)) {}
  platform::WebView& view() override { return *view_; }
  void present() override {
    ++presented;
    shown = true;
  }
  void close() {
    shown = false;
    if (onClosed) onClosed();
  }
  FakeWebView& fakeView() { return *view_; }

  platform::WebWindowStyle style;
  int presented = 0;
  bool shown = false;

 private:
  std::unique_ptr<FakeWebView> view_;
};

class FakeWebViews : public platform::WebViews {
 public:
  std::unique_ptr<platform::WebView> create(bool hidden) override {
    hiddenCreated += hidden;
    return std::make_unique<FakeWebView>(loads, live);
  }
  std::unique_ptr<platform::WebWindow> createWindow(
      const platform::WebWindowStyle& style) override {
    auto window =
        std::make_unique<FakeWebWindow>(style, std::make_unique<FakeWebView>(loads, live));
    windows.push_back(window.get());
    return window;
  }
  // The newest view that still exists, or null.
  FakeWebView* last() { return live.empty() ? nullptr : live.back(); }

  int hiddenCreated = 0;
  std::vector<std::string> loads;
  std::vector<FakeWebView*> live;
  std::vector<FakeWebWindow*> windows;  // every window made, in order, even once freed
};

}  // namespace fake

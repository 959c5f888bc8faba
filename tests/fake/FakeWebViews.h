#pragma once

#include <string>
#include <vector>

#include "platform/WebViews.h"

namespace fake {

class FakeWebView : public platform::WebView {
 public:
  explicit FakeWebView(std::vector<std::string>& loads) : loads_(loads) {}
  void load(const std::string& url) override {
    url_ = url;
    loads_.push_back(url);
  }
  std::string url() const override { return url_; }

 private:
  std::vector<std::string>& loads_;
  std::string url_;
};

class FakeWebViews : public platform::WebViews {
 public:
  std::unique_ptr<platform::WebView> create(bool hidden) override {
    hidden ? ++hiddenCreated : ++shownCreated;
    return std::make_unique<FakeWebView>(loads);
  }
  int hiddenCreated = 0;
  int shownCreated = 0;
  std::vector<std::string> loads;
};

}  // namespace fake

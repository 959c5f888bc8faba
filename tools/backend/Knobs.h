#pragma once

#include <httplib.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

// What tests turn and read: a canned answer or a delay per route, and the latest requests.
// Every handler runs through handle(), so every route obeys the same knobs. Thread-safe.
class Knobs {
 public:
  struct Override {
    std::optional<int> status;
    std::optional<std::string> body;
    std::string contentType = "application/json";
    double delaySeconds = 0;
    bool chunked = false;  // sent without a Content-Length
  };
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  static constexpr size_t kKeptRequests = 50;

  // Records the request, waits the route's delay, then answers with its canned answer or, when
  // it has none, with handler.
  void handle(const httplib::Request& req, httplib::Response& res, const Handler& handler);

  // method "POST", path "/rewrite".
  void setOverride(const std::string& method, const std::string& path, Override o);
  void reset();
  // The kept requests, oldest first: method, path, params (query and form fields), headers
  // (lower-case names), body.
  nlohmann::json requests();

 private:
  void record(const httplib::Request& req);
  std::optional<Override> overrideFor(const std::string& method, const std::string& path);

  std::mutex mutex_;
  std::map<std::string, Override> overrides_;
  std::deque<nlohmann::json> requests_;
};

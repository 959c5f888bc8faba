#include "Knobs.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <thread>

namespace {

std::string key(const std::string& method, const std::string& path) {
  return method + " " + path;
}

std::string lowerCase(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

void sendChunked(httplib::Response& res, std::string body, const std::string& contentType) {
  auto shared = std::make_shared<std::string>(std::move(body));
  res.set_chunked_content_provider(contentType, [shared](size_t offset, httplib::DataSink& sink) {
    constexpr size_t kPiece = 64 * 1024;
    if (offset < shared->size()) {
      size_t n = std::min(kPiece, shared->size() - offset);
      return sink.write(shared->data() + offset, n);
    }
    sink.done();
    return true;
  });
}

}  // namespace

void Knobs::handle(const httplib::Request& req, httplib::Response& res, const Handler& handler) {
  record(req);
  auto o = overrideFor(req.method, req.path);
  if (o && o->delaySeconds > 0)
    std::this_thread::sleep_for(std::chrono::duration<double>(o->delaySeconds));
  if (o && (o->status || o->body)) {
    res.status = o->status.value_or(200);
    if (o->chunked) {
      sendChunked(res, o->body.value_or(""), o->contentType);
    } else {
      res.set_content(o->body.value_or(""), o->contentType.c_str());
    }
    return;
  }
  handler(req, res);
}

void Knobs::setOverride(const std::string& method, const std::string& path, Override o) {
  std::lock_guard lock(mutex_);
  overrides_[key(method, path)] = std::move(o);
}

void Knobs::reset() {
  std::lock_guard lock(mutex_);
  overrides_.clear();
  requests_.clear();
}

nlohmann::json Knobs::requests() {
  std::lock_guard lock(mutex_);
  return nlohmann::json(requests_);
}

void Knobs::record(const httplib::Request& req) {
  nlohmann::json headers = nlohmann::json::object();
  for (const auto& [name, value] : req.headers) {
    // The server adds the connection's addresses as headers of its own; they were not sent.
    if (name == "LOCAL_ADDR" || name == "LOCAL_PORT" || name == "REMOTE_ADDR" ||
        name == "REMOTE_PORT")
      continue;
    headers[lowerCase(name)] = value;
  }
  nlohmann::json params = nlohmann::json::object();
  for (const auto& [name, value] : req.params)
    params[name] = value;
  nlohmann::json entry = {{"method", req.method},
                          {"path", req.path},
                          {"params", params},
                          {"headers", headers},
                          {"body", req.body}};
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(entry));
  while (requests_.size() > kKeptRequests)
    requests_.pop_front();
}

std::optional<Knobs::Override> Knobs::overrideFor(const std::string& method,
                                                  const std::string& path) {
  std::lock_guard lock(mutex_);
  auto it = overrides_.find(key(method, path));
  if (it == overrides_.end()) return std::nullopt;
  return it->second;
}

#include "Control.h"

#include <nlohmann/json.hpp>

namespace Control {

namespace {

using nlohmann::json;

void reply(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

// Bytes that JSON cannot carry as text, given in hexadecimal.
std::string fromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

// The canned body of a route; absent when none is given.
std::optional<std::string> cannedBody(const json& o) {
  auto it = o.find("body");
  auto hex = o.find("bodyHex");
  if (it == o.end() && hex == o.end()) return std::nullopt;
  std::string once = hex != o.end()    ? fromHex(hex->get<std::string>())
                     : it->is_string() ? it->get<std::string>()
                                       : it->dump();
  long repeat = o.value("repeat", 1L);
  std::string body;
  body.reserve(once.size() * static_cast<size_t>(repeat > 0 ? repeat : 0));
  for (long i = 0; i < repeat; ++i)
    body += once;
  return body;
}

void setRoute(Knobs& knobs, const httplib::Request& req, httplib::Response& res) {
  json o = json::parse(req.body, nullptr, false);
  if (!o.is_object() || !o.contains("method") || !o.contains("path"))
    return reply(res, 400, {{"error", "method and path are required"}});
  try {
    Knobs::Override override;
    if (o.contains("status")) override.status = o["status"].get<int>();
    override.body = cannedBody(o);
    override.contentType = o.value("contentType", override.contentType);
    override.delaySeconds = o.value("delaySeconds", 0.0);
    override.chunked = o.value("chunked", false);
    knobs.setOverride(o["method"].get<std::string>(), o["path"].get<std::string>(), override);
  } catch (const std::exception& e) {
    return reply(res, 400, {{"error", e.what()}});
  }
  reply(res, 200, {{"ok", true}});
}

}  // namespace

void install(httplib::Server& server, Knobs& knobs) {
  server.Get("/_control/requests", [&knobs](const httplib::Request&, httplib::Response& res) {
    reply(res, 200, knobs.requests());
  });
  server.Post("/_control/route", [&knobs](const httplib::Request& req, httplib::Response& res) {
    setRoute(knobs, req, res);
  });
  server.Post("/_control/reset", [&knobs](const httplib::Request&, httplib::Response& res) {
    knobs.reset();
    reply(res, 200, {{"ok", true}});
  });
}

}  // namespace Control

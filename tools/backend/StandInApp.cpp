#include "StandInApp.h"

#include <fstream>
#include <sstream>

namespace StandInApp {

namespace {

std::string contentType(const std::string& name) {
  auto ends = [&](const char* suffix) {
    std::string s(suffix);
    return name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
  };
  if (ends(".html")) return "text/html; charset=utf-8";
  if (ends(".js")) return "text/javascript; charset=utf-8";
  if (ends(".css")) return "text/css; charset=utf-8";
  return "application/octet-stream";
}

void serve(const std::string& dir, const httplib::Request& req, httplib::Response& res) {
  std::string name = req.matches[1];
  if (name.empty()) name = "index.html";
  if (name.find("..") != std::string::npos || name.find('/') != std::string::npos) {
    res.status = 404;
    return;
  }
  std::ifstream in(dir + "/" + name, std::ios::binary);
  if (!in) {
    res.status = 404;
    res.set_content("stand-in: no such page", "text/plain");
    return;
  }
  std::ostringstream body;
  body << in.rdbuf();
  res.set_header("Cache-Control", "no-store");
  res.set_content(body.str(), contentType(name));
}

}  // namespace

void install(httplib::Server& server, Knobs& knobs, std::string dir) {
  server.Get(
      R"(/app/([^?#]*))", [&knobs, dir](const httplib::Request& req, httplib::Response& res) {
        knobs.handle(req, res,
                     [&dir](const httplib::Request& q, httplib::Response& r) { serve(dir, q, r); });
      });
}

}  // namespace StandInApp

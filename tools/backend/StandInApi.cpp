#include "StandInApi.h"

#include <openssl/sha.h>

#include <cstdio>

namespace StandInApi {

namespace {

using nlohmann::json;

void answer(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

bool hasBearer(const httplib::Request& req) {
  const std::string auth = req.get_header_value("Authorization");
  return auth.rfind("Bearer ", 0) == 0 && auth.size() > 7;
}

// The request body as a JSON object, or an empty object.
json bodyObject(const httplib::Request& req) {
  json j = json::parse(req.body, nullptr, false);
  return j.is_object() ? j : json::object();
}

std::string stringField(const json& o, const char* key) {
  auto it = o.find(key);
  return it != o.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool hasString(const json& o, const char* key) {
  auto it = o.find(key);
  return it != o.end() && it->is_string();
}

// Code points, which is near enough to characters for a stand-in's message.
long codePoints(const std::string& s) {
  long n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string shortDigest(const std::string& s) {
  unsigned char d[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(s.data()), s.size(), d);
  char hex[17];
  for (int i = 0; i < 8; ++i)
    std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
  return hex;
}

void rewrite(const httplib::Request& req, httplib::Response& res) {
  if (!hasBearer(req)) return answer(res, 401, {{"error", "stand-in: no bearer token"}});
  json body = bodyObject(req);
  if (!hasString(body, "text")) return answer(res, 400, {{"error", "stand-in: text is missing"}});
  std::string instruction = stringField(body, "instruction");
  std::string mark =
      instruction.empty() ? "[stand-in rewrite] " : "[stand-in rewrite: " + instruction + "] ";
  answer(res, 200, {{"rewritten", mark + stringField(body, "text")}});
}

void generate(const httplib::Request& req, httplib::Response& res) {
  if (!hasBearer(req)) return answer(res, 401, {{"error", "stand-in: no bearer token"}});
  json body = bodyObject(req);
  if (!hasString(body, "context"))
    return answer(res, 400, {{"error", "stand-in: context is missing"}});
  long n = codePoints(stringField(body, "context"));
  answer(res, 200,
         {{"reply", "[stand-in reply] 맥락 " + std::to_string(n) + "자를 읽었습니다."},
          {"memoryNote", "[stand-in memory] 맥락 " + std::to_string(n) + "자"}});
}

void usage(const httplib::Request& req, httplib::Response& res) {
  if (!hasBearer(req)) return answer(res, 401, {{"error", "stand-in: no bearer token"}});
  answer(res, 200, {{"spentKrw", 0}, {"capKrw", 10000}, {"plan", "stand-in"}});
}

void authGoogle(const httplib::Request& req, httplib::Response& res) {
  json body = bodyObject(req);
  std::string accessToken = stringField(body, "accessToken");
  if (accessToken.empty()) return answer(res, 400, {{"error", "stand-in: accessToken is missing"}});
  answer(res, 200,
         {{"token", "stand-in-session-" + shortDigest(accessToken)},
          {"email", "stand-in@mirelo.invalid"}});
}

}  // namespace

void install(httplib::Server& server, Knobs& knobs) {
  auto route = [&knobs](Knobs::Handler h) {
    return [&knobs, h](const httplib::Request& req, httplib::Response& res) {
      knobs.handle(req, res, h);
    };
  };
  server.Post("/rewrite", route(rewrite));
  server.Post("/generate", route(generate));
  server.Get("/usage", route(usage));
  server.Post("/auth/google", route(authGoogle));
}

}  // namespace StandInApi

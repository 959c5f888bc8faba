#pragma once

#include <httplib.h>

#include <map>
#include <mutex>
#include <string>

#include "Knobs.h"

// A stand-in for Google's OAuth 2.0 endpoints. GET /o/oauth2/v2/auth consents at once and
// redirects to the loopback redirect URI with a code and the state; POST /token trades the
// code for an access token after checking the PKCE verifier (S256). Codes are used once.
class StandInOAuth {
 public:
  void install(httplib::Server& server, Knobs& knobs);

 private:
  struct Grant {
    std::string challenge;
    std::string redirectURI;
    std::string clientID;
  };

  void authorize(const httplib::Request& req, httplib::Response& res);
  void token(const httplib::Request& req, httplib::Response& res);

  std::mutex mutex_;
  int issued_ = 0;
  std::map<std::string, Grant> grants_;
};

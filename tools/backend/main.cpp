// mirelo-backend: a stand-in for the Mirelo backend and Google's OAuth endpoints on
// 127.0.0.1, for the tests and for trying Mirelo without an account. Its answers are marked
// as stand-in output (and every response carries "X-Mirelo-Stand-In: 1").
//
//   mirelo-backend [--port N] [--pages DIR] [--app DIR]
//
// --port 0 picks a free port. The first line on stdout is "listening on http://127.0.0.1:PORT".
// --pages DIR serves the files of DIR (web pages) under "/".
// --app DIR serves the stand-in web application's pages under "/app/" (default: the pages
// beside this program's sources).
#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Control.h"
#include "Knobs.h"
#include "StandInApi.h"
#include "StandInApp.h"
#include "StandInOAuth.h"

namespace {

struct Options {
  int port = 8787;
  std::string pagesDir;
  std::string appDir = MIRELO_APP_DIR;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--port" && i + 1 < argc) {
      o.port = std::atoi(argv[++i]);
    } else if (a == "--pages" && i + 1 < argc) {
      o.pagesDir = argv[++i];
    } else if (a == "--app" && i + 1 < argc) {
      o.appDir = argv[++i];
    } else {
      return false;
    }
  }
  return o.port >= 0 && o.port <= 65535;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: mirelo-backend [--port N] [--pages DIR] [--app DIR]\n");
    return 2;
  }
  httplib::Server server;
  Knobs knobs;
  StandInOAuth oauth;
  server.set_default_headers({{"X-Mirelo-Stand-In", "1"}});
  server.set_tcp_nodelay(true);
  StandInApi::install(server, knobs);
  oauth.install(server, knobs);
  Control::install(server, knobs);
  StandInApp::install(server, knobs, options.appDir);
  if (!options.pagesDir.empty() && !server.set_mount_point("/", options.pagesDir)) {
    std::fprintf(stderr, "mirelo-backend: cannot serve %s\n", options.pagesDir.c_str());
    return 2;
  }

  int port = options.port == 0
                 ? server.bind_to_any_port("127.0.0.1")
                 : (server.bind_to_port("127.0.0.1", options.port) ? options.port : -1);
  if (port <= 0) {
    std::fprintf(stderr, "mirelo-backend: cannot listen on 127.0.0.1:%d\n", options.port);
    return 1;
  }
  std::printf("listening on http://127.0.0.1:%d\n", port);
  std::fflush(stdout);
  return server.listen_after_bind() ? 0 : 1;
}

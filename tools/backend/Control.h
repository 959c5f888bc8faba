#pragma once

#include <httplib.h>

#include "Knobs.h"

// The knobs over HTTP, for tests:
//   POST /_control/route     gives a route a canned answer and/or a delay. Its JSON object:
//       "method", "path"     the route ("POST", "/rewrite")
//       "status"             the status code (200 when only a body is given)
//       "body" | "bodyHex"   the body: a string as is, other JSON as JSON, or raw bytes in hex
//       "repeat"             sends the body that many times over
//       "chunked"            sends it without a Content-Length
//       "contentType"        default "application/json"
//       "delaySeconds"       waits before answering (also with no canned answer)
//   GET  /_control/requests  the latest requests, oldest first.
//   POST /_control/reset     forgets every canned answer and request.
// Requests to /_control are not recorded.
namespace Control {

void install(httplib::Server& server, Knobs& knobs);

}  // namespace Control

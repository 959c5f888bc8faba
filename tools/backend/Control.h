#pragma once

#include <httplib.h>

#include "Knobs.h"

// The knobs over HTTP, for tests:
//   POST /_control/route  {"method", "path", "status"?, "body"?, "contentType"?, "delaySeconds"?,
//                          "repeat"?, "chunked"?}  gives a route a canned answer and/or a delay
//                          ("body" is sent as is when a string, else as JSON; "repeat" repeats
//                          it; "chunked" sends it without a Content-Length).
//   GET  /_control/requests            the latest requests, oldest first.
//   POST /_control/reset               forgets every canned answer and request.
// Requests to /_control are not recorded.
namespace Control {

void install(httplib::Server& server, Knobs& knobs);

}  // namespace Control

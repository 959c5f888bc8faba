#pragma once

#include <httplib.h>

#include <string>

#include "Knobs.h"

// The stand-in web application's pages under /app/ (kb-headless.html, the dashboard at
// /app/), read from dir on every request, through the knobs like every route.
namespace StandInApp {

void install(httplib::Server& server, Knobs& knobs, std::string dir);

}  // namespace StandInApp

#pragma once

#include <httplib.h>

#include "Knobs.h"

// The backend calls Mirelo makes: POST /rewrite, POST /generate, GET /usage (bearer token) and
// POST /auth/google (session minting). Answers are deterministic and say they are stand-ins.
namespace StandInApi {

void install(httplib::Server& server, Knobs& knobs);

}  // namespace StandInApi

#pragma once

#include <string>

namespace linuxport {

// Opens url the way desktop programs do: each command of $BROWSER (colon-separated; "%s" stands
// for the URL, else the URL is appended) is tried in turn, then xdg-open. The browser runs
// detached; true when some command could be started.
bool openURL(const std::string& url);

}  // namespace linuxport

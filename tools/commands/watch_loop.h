// Waits for device-change events until SIGINT or SIGTERM.
#pragma once

#include <functional>
#include <string>

namespace velmoractl {

// Calls dispatch whenever descriptor turns readable (never for -1), until the process is asked
// to stop. Returns false with error set when the wait itself fails.
bool RunWatchLoop(int descriptor, const std::function<void()>& dispatch, std::string& error);

}  // namespace velmoractl

// A command-line program's loop over one adapter: wait on its handle, dispatch, until a stop signal
// (SIGINT, SIGTERM, SIGHUP; Ctrl-C in a Windows console) or until dispatch says to stop. serve's
// front ends wait in its Asio loop instead.
#pragma once

#include <functional>
#include <string>

#include "tools/controllers/gamepad_source.h"

namespace velmora::controllers {

// Returns the signal that stopped it, 0 when dispatch returned false, -1 with error when waiting failed.
int RunUntilStopped(WaitHandle handle, const std::function<bool()>& dispatch, std::string& error);

}  // namespace velmora::controllers

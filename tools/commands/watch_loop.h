// Follows device changes until SIGINT, SIGTERM or Ctrl+C.
#pragma once

#include <functional>
#include <string>

#include "platform/device_change.h"
#include "platform/guid.h"
#include "platform/status.h"

namespace velmoractl {

// Registers source for interfaceClass, calls ready once registered, then hands every event to
// sink until the process is asked to stop. On failure returns false with error set (and status,
// when the registration itself failed).
bool WatchDeviceChanges(velmora::DeviceChangeSource& source, const velmora::Guid& interfaceClass,
                        const velmora::DeviceChangeSource::Sink& sink, const std::function<void()>& ready,
                        velmora::Status& status, std::string& error);

// Makes a WatchDeviceChanges running on another thread return as a stop signal would (once it has
// called ready).
void StopWatchingDeviceChanges();

}  // namespace velmoractl

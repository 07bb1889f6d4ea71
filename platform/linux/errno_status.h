// errno values of the device-node calls as HRESULT-style statuses.
#pragma once

#include "platform/status.h"

namespace velmora::linux_backend {

// errno (positive or negated) to the nearest status; 0 is StatusOk.
Status StatusFromErrno(int error);

}  // namespace velmora::linux_backend

// errno values of the device-node calls as HRESULT-style statuses.
#pragma once

#include "platform/status.h"

namespace velmora::linux_backend {

// errno (positive or negated) to the nearest status; 0 is StatusOk.
Status StatusFromErrno(int error);

// The same for UVCIOC_CTRL_QUERY on an open node, where EACCES is no permission problem: uvcvideo
// returns it when the camera stalled the request with the error code "wrong state" (6.12 does; 6.1
// returns EPIPE), so it is the camera refusing, ERROR_GEN_FAILURE.
Status StatusFromQueryErrno(int error);

}  // namespace velmora::linux_backend

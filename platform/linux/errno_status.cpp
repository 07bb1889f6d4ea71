#include "platform/linux/errno_status.h"

#include <cerrno>

namespace velmora::linux_backend {

Status StatusFromErrno(int error)
{
    if (error < 0) error = -error;
    switch (error) {
        case 0:
            return StatusOk;
        case EACCES:
        case EPERM:
            return StatusAccessDenied;
        case ENOENT:
            return StatusNotFound;  // no such unit or selector, or no such node
        case ENODEV:
        case ENXIO:
        case ESHUTDOWN:
            return StatusDeviceNotConnected;
        case EINVAL:
            return StatusInvalidArg;
        case ENOBUFS:
            return StatusInsufficientBuffer;
        case ENOMEM:
            return StatusOutOfMemory;
        case EFAULT:
            return StatusPointer;
        case EBUSY:
        case EAGAIN:
            return StatusBusy;
        case ETIMEDOUT:
            return StatusTimeout;
        case EBADRQC:  // the control does not allow this query
        case ENOTTY:   // not a uvcvideo capture node
        case EOPNOTSUPP:
            return StatusNotSupported;
        case EIO:
        case EPIPE:  // the camera stalled the request
        case ERANGE:
        case EREMOTE:
        case EPROTO:
        case EILSEQ:
            return StatusGenFailure;
        default:
            return StatusFail;
    }
}

Status StatusFromQueryErrno(int error)
{
    if (error < 0) error = -error;
    return error == EACCES ? StatusGenFailure : StatusFromErrno(error);
}

}  // namespace velmora::linux_backend

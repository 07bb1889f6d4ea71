// The driver's errno values as statuses that callers and velmoractl can name.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/linux/errno_status.h"

namespace velmora::linux_backend {
namespace {

TEST(ErrnoStatus, MapsTheDriversAnswersToTheNearestStatus)
{
    struct Case {
        int error;
        Status status;
    };
    const Case cases[] = {
        {0, StatusOk},
        {EACCES, StatusAccessDenied},
        {EPERM, StatusAccessDenied},
        {ENOENT, StatusNotFound},
        {ENODEV, StatusDeviceNotConnected},
        {EINVAL, StatusInvalidArg},
        {ENOBUFS, StatusInsufficientBuffer},
        {EBADRQC, StatusNotSupported},
        {ENOTTY, StatusNotSupported},
        {EIO, StatusGenFailure},
        {EPIPE, StatusGenFailure},
        {ERANGE, StatusGenFailure},
        {EBUSY, StatusBusy},
        {ETIMEDOUT, StatusTimeout},
        {ENOMEM, StatusOutOfMemory},
        {EXDEV, StatusFail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(StatusFromErrno(c.error), c.status);
        EXPECT_EQ(StatusFromErrno(-c.error), c.status);
        EXPECT_EQ(Failed(c.status), c.error != 0);
    }
    EXPECT_EQ(StatusName(StatusFromErrno(ENODEV)), "HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)");
    EXPECT_EQ(StatusName(StatusServiceNotActive), "HRESULT_FROM_WIN32(ERROR_SERVICE_NOT_ACTIVE)");
}

}  // namespace
}  // namespace velmora::linux_backend

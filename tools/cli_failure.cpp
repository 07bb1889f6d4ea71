#include "tools/cli_failure.h"

namespace velmoractl {

namespace {

using namespace velmora;

ExitCode ClassifyStatus(Status status, Channel channel)
{
    if (status == StatusFalse) return ExitCode::ChecksumMismatch;
    if (status == StatusDeviceNotConnected) return ExitCode::DeviceGone;
    if (status == StatusAccessDenied) return ExitCode::PermissionDenied;
    if (status == StatusInvalidArg && channel == Channel::ExtensionUnit) return ExitCode::NoSizeAnswer;
    if (status == StatusNotImpl || status == StatusNotSupported || status == StatusNoInterface ||
        status == StatusNotFound || status == StatusInvalidFunction) {
        return ExitCode::Unsupported;
    }
    return ExitCode::Failed;
}

std::string Explain(ExitCode code, Status status, Channel channel, const std::string& platform)
{
    switch (code) {
        case ExitCode::ChecksumMismatch:
            return "the camera's response failed its checksum";
        case ExitCode::DeviceGone:
            return "the device is no longer connected";
        case ExitCode::PermissionDenied:
            if (platform == "windows") return "access denied: another program may hold the camera";
            return "permission denied: join the 'video' group (then log in again) or install the udev rule "
                   "70-velmora-camera.rules (in /usr/share/doc/velmora/examples/ when installed, "
                   "platform/linux/ in the source)";
        case ExitCode::NoSizeAnswer:
            return "the extension unit did not answer the size query as expected (is this the right unit? "
                   "see "
                   "'velmoractl xu-info')";
        case ExitCode::Unsupported:
            if (channel == Channel::ExtensionUnit && status == StatusNotFound) {
                return "the camera has no extension unit with the configured property set (see 'velmoractl "
                       "xu-info')";
            }
            return "the camera or the platform does not support this request";
        default:
            if (status == StatusServiceNotActive) {
                return "the device-notification service is not running (on Linux: systemd-udevd)";
            }
            return "the request failed";
    }
}

}  // namespace

Failure RequestFailure(const std::string& subject, const std::string& action, Status status, Channel channel,
                       const std::string& platform, const std::optional<SizeQueryAnswer>& sizeQuery)
{
    Failure failure;
    failure.status = status;
    if (sizeQuery && status == StatusInvalidArg && channel == Channel::ExtensionUnit) {
        const Status answer = sizeQuery->status;
        std::string detail;
        if (Failed(answer) && answer != StatusMoreData) {
            // The camera refused the size query itself: that refusal is the cause.
            failure.code = ClassifyStatus(answer, Channel::ExtensionUnit);
            if (failure.code == ExitCode::NoSizeAnswer) failure.code = ExitCode::Failed;
            detail = Explain(failure.code, answer, channel, platform) + " (the size query answered " +
                     StatusName(answer) + "; the transfer " + StatusName(status) + ")";
        } else {
            failure.code = ExitCode::NoSizeAnswer;
            std::string how = "it answered " + StatusName(answer);
            if (answer == StatusMoreData) how += " with size " + std::to_string(sizeQuery->size);
            detail = Explain(failure.code, status, channel, platform) + " (" + how + "; the transfer " +
                     StatusName(status) + ")";
        }
        failure.cause = CauseName(failure.code);
        failure.message = subject + ": " + action + ": " + detail;
        return failure;
    }
    failure.code = ClassifyStatus(status, channel);
    failure.cause = CauseName(failure.code);
    failure.message = subject + ": " + action + ": " + Explain(failure.code, status, channel, platform) +
                      " (" + StatusName(status) + ")";
    return failure;
}

Failure UsageFailure(const std::string& message)
{
    return Failure{ExitCode::Usage, CauseName(ExitCode::Usage), message, std::nullopt};
}

Failure NoDeviceFailure(const std::string& message)
{
    return Failure{ExitCode::NoDevice, CauseName(ExitCode::NoDevice), message, std::nullopt};
}

std::string CauseName(ExitCode code)
{
    switch (code) {
        case ExitCode::Ok:
            return "ok";
        case ExitCode::Failed:
            return "failed";
        case ExitCode::Usage:
            return "bad-argument";
        case ExitCode::NoDevice:
            return "no-device";
        case ExitCode::DeviceGone:
            return "device-gone";
        case ExitCode::PermissionDenied:
            return "permission-denied";
        case ExitCode::Unsupported:
            return "unsupported";
        case ExitCode::NoSizeAnswer:
            return "no-size-answer";
        case ExitCode::ChecksumMismatch:
            return "checksum-mismatch";
    }
    return "failed";
}

}  // namespace velmoractl

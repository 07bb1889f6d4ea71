// What went wrong, as one line for a person and an exit status for a script.
#pragma once

#include <optional>
#include <string>

#include "platform/status.h"
#include "tools/xu_probe.h"

namespace velmoractl {

enum class ExitCode : int {
    Ok = 0,
    Failed = 1,            // the camera or the platform refused, for another reason
    Usage = 2,             // a bad argument
    NoDevice = 3,          // no capture device, or none matching --device
    DeviceGone = 4,        // the device vanished
    PermissionDenied = 5,  // the device cannot be opened by this user
    Unsupported = 6,       // the camera or the platform does not offer the request
    NoSizeAnswer = 7,      // the extension unit did not answer the size query
    ChecksumMismatch = 8,  // a read response failed its checksum
};

struct Failure {
    ExitCode code = ExitCode::Failed;
    std::string cause;    // short key for scripts: "no-device", "checksum-mismatch", ...
    std::string message;  // the line for a person, without the program name
    std::optional<velmora::Status> status;
};

// Which channel a request went through: E_INVALIDARG and a missing unit mean more on the
// extension unit than elsewhere.
enum class Channel { ExtensionUnit, CameraControl, Other };

// A failed request: subject names the device ("device 0 (USB Camera    VID_ABCD&PID_EF01)"),
// action what was tried ("reading register 0x178"); status decides the cause.
// platform is the backend's name, for the hint that goes with a permission failure.
// sizeQuery, when given, is the camera's own answer to a size query made after an extension-unit
// transfer ended with E_INVALIDARG; it decides the cause then.
Failure RequestFailure(const std::string& subject, const std::string& action, velmora::Status status,
                       Channel channel, const std::string& platform,
                       const std::optional<SizeQueryAnswer>& sizeQuery = std::nullopt);

Failure UsageFailure(const std::string& message);
Failure NoDeviceFailure(const std::string& message);

std::string CauseName(ExitCode code);

}  // namespace velmoractl

// What Velmora does with one device-change event, the same for every backend: the debug
// lines, the check of the interface name against the capture class, and the refresh.
#pragma once

#include <QString>
#include <array>
#include <functional>

#include "platform/device_change.h"
#include "platform/guid.h"

namespace velmora {

// The interface classes RegisterDeviceChange registers, one registration each.
inline constexpr std::array<Guid, 1> WatchedInterfaceClasses{KsCategoryCapture};

// The upper-case text form without braces that NameContainsGuid looks for,
// "65E8773D-8F56-11D0-A3B9-00A0C9223196" for KSCATEGORY_CAPTURE.
QString NameGuidText(const Guid& guid);

// Logs the GUID text and answers whether name carries it, in any letter case.
bool NameContainsGuid(const Guid& guid, const QString& name);

// What a matching arrival or removal calls, in this order.
struct DeviceChangeResponse {
    std::function<void()> refreshDeviceList;
    std::function<void()> readStatusRegisters;
};

// Logs the event's lines and, when an interface of the capture class arrived or was removed,
// calls the response. Returns whether it did.
bool HandleDeviceChangeEvent(const DeviceChangeEvent& event, const DeviceChangeResponse& response);

// The debug line for a registration that failed.
void LogDeviceChangeRegistrationFailed();

}  // namespace velmora

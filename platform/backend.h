// The one place that picks the platform backend.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/device_change.h"
#include "platform/device_enumerator.h"
#include "platform/status.h"

namespace velmora {

class Backend {
public:
    virtual ~Backend() = default;
    virtual std::string Name() const = 0;
    // CoCreateInstance(CLSID_SystemDeviceEnum).
    virtual Status CreateSystemDeviceEnumerator(std::unique_ptr<SystemDeviceEnumerator>& out) = 0;
    virtual std::unique_ptr<DeviceChangeSource> CreateDeviceChangeSource() = 0;
    // Said before the first enumeration by a program that will create no device-change source (a
    // velmoractl command other than watch): the backend then prepares none.
    virtual void WithoutDeviceChanges() {}
};

// name: "sim", "native", or empty for the default (native where a native backend is built).
// Returns null and sets error for an unknown name.
std::shared_ptr<Backend> CreateBackend(std::string_view name, std::string& error);

// The name VELMORA_BACKEND asks for, or empty.
std::string RequestedBackendName();

// The process's backend, never null: the installed one, else one created from VELMORA_BACKEND on
// first use (an unknown name falls back to the default).
Backend& ActiveBackend();
std::shared_ptr<Backend> ActiveBackendShared();
void InstallBackend(std::shared_ptr<Backend> backend);

// Whether a native (non-simulated) backend was built into this program.
bool HasNativeBackend();

}  // namespace velmora

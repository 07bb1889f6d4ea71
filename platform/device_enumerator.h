// Ports: the system device enumerator, its moniker walk and each device's property bag.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/capture_device.h"
#include "platform/status.h"

namespace velmora {

inline constexpr std::string_view PropertyFriendlyName = "FriendlyName";
inline constexpr std::string_view PropertyDevicePath = "DevicePath";
// The USB device's serial number, where the platform reveals it apart from the path (Linux).
inline constexpr std::string_view PropertySerialNumber = "SerialNumber";

// IPropertyBag with VT_BSTR reads; the value is UTF-8.
class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    virtual Status Read(std::string_view name, std::string& value) = 0;
};

// IMoniker.
class Moniker {
public:
    virtual ~Moniker() = default;
    virtual Status BindToStorage(std::unique_ptr<PropertyBag>& out) = 0;
    virtual Status BindToObject(std::unique_ptr<CaptureDevice>& out) = 0;
};

// IEnumMoniker.
class MonikerEnumerator {
public:
    virtual ~MonikerEnumerator() = default;
    virtual Status Reset() = 0;
    // StatusOk and one moniker per device; anything else at the end.
    virtual Status Next(std::unique_ptr<Moniker>& out) = 0;
};

// ICreateDevEnum.
class SystemDeviceEnumerator {
public:
    virtual ~SystemDeviceEnumerator() = default;
    // The video input category. Success without an enumerator (StatusFalse) when it has no device.
    virtual Status CreateVideoInputEnumerator(std::unique_ptr<MonikerEnumerator>& out) = 0;
};

}  // namespace velmora

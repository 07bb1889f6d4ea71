// Port: device-interface arrival and removal notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/guid.h"
#include "platform/status.h"

namespace velmora {

enum class DeviceChangeKind { Arrival, RemoveComplete, Other };

// Record types of DEV_BROADCAST_HDR::dbch_devicetype.
inline constexpr std::uint32_t DeviceRecordOem = 0;
inline constexpr std::uint32_t DeviceRecordVolume = 2;
inline constexpr std::uint32_t DeviceRecordPort = 3;
inline constexpr std::uint32_t DeviceRecordInterface = 5;
inline constexpr std::uint32_t DeviceRecordHandle = 6;
// A record that could not be decoded safely.
inline constexpr std::uint32_t DeviceRecordMalformed = 0xFFFFFFFFu;

struct DeviceChangeEvent {
    DeviceChangeKind kind = DeviceChangeKind::Other;
    std::uint32_t recordType = DeviceRecordMalformed;
    std::string interfaceName;  // UTF-8; device-interface records only
};

class DeviceChangeSource {
public:
    using Sink = std::function<void(const DeviceChangeEvent&)>;

    virtual ~DeviceChangeSource() = default;

    // Registers for arrivals and removals of interfaces of one class. nativeWindow is the
    // window handle where the platform posts its messages (Windows); others ignore it.
    // Events reach sink from DispatchPending, TranslateNativeMessage's caller, or directly
    // on the GUI thread.
    virtual Status Register(std::uintptr_t nativeWindow, const Guid& interfaceClass, Sink sink) = 0;

    // A descriptor that turns readable when events wait for DispatchPending, or -1.
    virtual int EventDescriptor() const { return -1; }
    virtual void DispatchPending() {}

    // A remark for the debug channel on how events are followed (a fallback, say); empty for none.
    virtual std::string Notice() const { return {}; }

    // Decodes a native window message into an event; false when it is no device change.
    virtual bool TranslateNativeMessage(const void* /*message*/, DeviceChangeEvent& /*out*/) { return false; }
};

}  // namespace velmora

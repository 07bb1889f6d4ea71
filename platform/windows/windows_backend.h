// The native backend on Windows: DirectShow enumeration, IKsControl, device notification.
#pragma once

#include "platform/backend.h"
#include "platform/windows/dshow_enumeration.h"

namespace velmora::windows {

class WindowsBackend : public Backend {
public:
    // create makes the ICreateDevEnum; by default the system device enumerator. COM must be
    // initialised on the calling thread (the GUI application does it; see ComApartment).
    explicit WindowsBackend(CreateDevEnumFunction create = CoCreateSystemDeviceEnum)
        : m_create(std::move(create))
    {
    }

    std::string Name() const override { return "windows"; }
    Status CreateSystemDeviceEnumerator(std::unique_ptr<SystemDeviceEnumerator>& out) override;
    std::unique_ptr<DeviceChangeSource> CreateDeviceChangeSource() override;

private:
    CreateDevEnumFunction m_create;
};

}  // namespace velmora::windows

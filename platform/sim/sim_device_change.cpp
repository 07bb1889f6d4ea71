#include "platform/sim/sim_device_change.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/sim/sim_hotplug.h"

namespace velmora::sim {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The four hex digits after key ("vid_", "pid_") in a lower-cased path, or 0.
unsigned IdAfter(const std::string& lowerPath, const char* key)
{
    const std::size_t at = lowerPath.find(key);
    if (at == std::string::npos) return 0;
    const std::string digits = lowerPath.substr(at + 4, 4);
    if (digits.size() != 4 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        return 0;
    }
    return static_cast<unsigned>(std::stoul(digits, nullptr, 16));
}

}  // namespace

std::string SimInterfaceName(const SimCameraConfig& camera, int instance)
{
    const std::string captureClass = Lower(GuidText(KsCategoryCapture));
    const std::string path = Lower(camera.devicePath.value_or(""));
    if (path.find(captureClass) != std::string::npos) return path;
    char name[160];
    std::snprintf(name, sizeof name, "\\\\?\\usb#vid_%04x&pid_%04x&mi_00#7&51a%05x&0&0000#{%s}\\global",
                  IdAfter(path, "vid_"), IdAfter(path, "pid_"), static_cast<unsigned>(instance) & 0xFFFFFu,
                  captureClass.c_str());
    return name;
}

std::shared_ptr<void> SimDeviceChangeHub::Add(const Guid& interfaceClass, DeviceChangeSource::Sink sink)
{
    auto registration = std::make_shared<Registration>(Registration{interfaceClass, std::move(sink)});
    m_registrations.erase(std::remove_if(m_registrations.begin(), m_registrations.end(),
                                         [](const std::weak_ptr<Registration>& r) { return r.expired(); }),
                          m_registrations.end());
    m_registrations.push_back(registration);
    return registration;
}

void SimDeviceChangeHub::Post(const Guid& interfaceClass, const DeviceChangeEvent& event)
{
    const std::vector<std::weak_ptr<Registration>> current = m_registrations;
    for (const std::weak_ptr<Registration>& weak : current) {
        const std::shared_ptr<Registration> registration = weak.lock();
        if (registration && registration->interfaceClass == interfaceClass && registration->sink) {
            registration->sink(event);
        }
    }
}

int SimDeviceChangeHub::Registrations() const
{
    return static_cast<int>(std::count_if(m_registrations.begin(), m_registrations.end(),
                                          [](const std::weak_ptr<Registration>& r) { return !r.expired(); }));
}

SimDeviceChangeSource::SimDeviceChangeSource(std::shared_ptr<SimDeviceChangeHub> hub,
                                             std::shared_ptr<SimHotplugFolder> folder)
    : m_hub(std::move(hub)), m_folder(std::move(folder))
{
}

Status SimDeviceChangeSource::Register(std::uintptr_t, const Guid& interfaceClass, Sink sink)
{
    if (!sink) return StatusInvalidArg;
    m_registrations.push_back(m_hub->Add(interfaceClass, std::move(sink)));
    return StatusOk;
}

int SimDeviceChangeSource::EventDescriptor() const
{
    return m_folder ? m_folder->Descriptor() : -1;
}

void SimDeviceChangeSource::DispatchPending()
{
    if (m_folder) m_folder->Dispatch();
}

}  // namespace velmora::sim

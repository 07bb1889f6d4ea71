// The backend, the devices as the window lists them, and the one a command acts on.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/device_table.h"
#include "platform/backend.h"
#include "tools/cli_failure.h"
#include "tools/cli_options.h"

namespace velmoractl {

struct DeviceEntry {
    int index = 0;                             // position in the list, 0 = first
    QString label;                             // as the window shows it
    std::optional<std::string> path;           // "DevicePath", when readable
    std::string id;                            // stable across unplug and replug (StableDeviceId)
    velmora::CaptureDevice* device = nullptr;  // owned by the session's table
};

class Session {
public:
    Session() = default;
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Creates the backend that --backend (or VELMORA_BACKEND) names; --sim-config stands for
    // VELMORA_SIM_CONFIG.
    std::optional<Failure> Open(const Options& options);

    velmora::Backend& Backend() { return *m_backend; }
    std::string PlatformName() const { return m_backend ? m_backend->Name() : std::string(); }

    // Enumerates once, then labels the devices as the window fills its list: in table order,
    // stopping at the first device whose property store cannot be opened.
    const std::vector<DeviceEntry>& Devices();

    // Gives the devices back; the next Devices() enumerates again. The selection is forgotten.
    void Forget();

    // Why the list is empty, when the enumeration itself failed; empty otherwise.
    const std::string& EnumerationProblem() const { return m_enumerationProblem; }

    // The device a selector names: a list index, a device id, or a device path or node. Null with
    // failure set when none or more than one matches.
    const DeviceEntry* Find(const std::string& selector, std::optional<Failure>& failure);

    // The device --device names (index 0 without one), as Find.
    std::optional<Failure> Select(const std::optional<std::string>& selector);
    const DeviceEntry& Selected() const { return *m_selected; }

    // "device 0 (USB Camera    VID_ABCD&PID_EF01)".
    std::string Subject() const;

private:
    std::shared_ptr<velmora::Backend> m_backend;
    velmora::DeviceTable m_table;
    bool m_enumerated = false;
    std::string m_enumerationProblem;
    std::vector<DeviceEntry> m_devices;
    const DeviceEntry* m_selected = nullptr;
};

// Whether a --device argument names this device path: the whole path (any case), or a piece of
// it that stands between separators, such as its device node.
bool PathMatches(const std::string& path, const std::string& selector);

}  // namespace velmoractl

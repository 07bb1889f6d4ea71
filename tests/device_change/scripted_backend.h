// A backend for the device-change tests: simulated cameras for enumeration and a device-change
// source the test drives by hand.
#pragma once

#include <QComboBox>
#include <QStringList>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <vector>

#include "platform/backend.h"
#include "platform/sim/sim_backend.h"

namespace device_change_test {

// What the window asked of the source, and how the source answers.
struct SourceScript {
    velmora::Status registerStatus = velmora::StatusOk;
    std::vector<velmora::Guid> registered;
    std::uintptr_t nativeWindow = 0;
    velmora::DeviceChangeSource::Sink sink;
    int descriptor = -1;
    std::function<void()> dispatch;
    int translations = 0;
    bool sourceAlive = false;
    std::function<void()> destroyed;  // called as the source is destroyed
};

// A native message the scripted source recognises: the test posts it, nativeEvent sees it.
struct ScriptedMessage {
    bool deviceChange = true;
    velmora::DeviceChangeEvent event;
};

class ScriptedBackend : public velmora::Backend {
public:
    explicit ScriptedBackend(std::shared_ptr<velmora::sim::SimBackend> sim, bool noSource = false);

    std::string Name() const override { return "scripted"; }
    velmora::Status CreateSystemDeviceEnumerator(
        std::unique_ptr<velmora::SystemDeviceEnumerator>& out) override
    {
        return m_sim->CreateSystemDeviceEnumerator(out);
    }
    std::unique_ptr<velmora::DeviceChangeSource> CreateDeviceChangeSource() override;

    velmora::sim::SimBackend& Sim() { return *m_sim; }
    SourceScript& Script() { return *m_script; }

private:
    std::shared_ptr<velmora::sim::SimBackend> m_sim;
    std::shared_ptr<SourceScript> m_script = std::make_shared<SourceScript>();
    bool m_noSource;
};

// The register addresses of the status reads (read command, param 1, registers 376 to 399)
// among the requests a simulated camera has seen, in order.
std::vector<std::uint32_t> StatusReads(const velmora::sim::SimCamera& camera);

// The 24 addresses of one full status read.
std::vector<std::uint32_t> OneStatusRead();

// The texts of the list's items, in order.
QStringList Labels(const QComboBox& list);

// Whether lines holds expected as a contiguous run.
bool HasRun(const QStringList& lines, const QStringList& expected);

}  // namespace device_change_test

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

#include "tests/device_change/scripted_backend.h"

namespace device_change_test {

namespace {

class ScriptedSource : public velmora::DeviceChangeSource {
public:
    explicit ScriptedSource(std::shared_ptr<SourceScript> script) : m_script(std::move(script))
    {
        m_script->sourceAlive = true;
    }
    ~ScriptedSource() override
    {
        if (m_script->destroyed) m_script->destroyed();
        m_script->sourceAlive = false;
        m_script->sink = nullptr;
    }
    velmora::Status Register(std::uintptr_t nativeWindow, const velmora::Guid& interfaceClass,
                             Sink sink) override
    {
        m_script->registered.push_back(interfaceClass);
        m_script->nativeWindow = nativeWindow;
        if (velmora::Succeeded(m_script->registerStatus)) m_script->sink = std::move(sink);
        return m_script->registerStatus;
    }
    int EventDescriptor() const override { return m_script->descriptor; }
    void DispatchPending() override
    {
        if (m_script->dispatch) m_script->dispatch();
    }
    bool TranslateNativeMessage(const void* message, velmora::DeviceChangeEvent& out) override
    {
        ++m_script->translations;
        const auto* scripted = static_cast<const ScriptedMessage*>(message);
        if (!scripted || !scripted->deviceChange) return false;
        out = scripted->event;
        return true;
    }

private:
    std::shared_ptr<SourceScript> m_script;
};

}  // namespace

ScriptedBackend::ScriptedBackend(std::shared_ptr<velmora::sim::SimBackend> sim, bool noSource)
    : m_sim(std::move(sim)), m_noSource(noSource)
{
}

std::unique_ptr<velmora::DeviceChangeSource> ScriptedBackend::CreateDeviceChangeSource()
{
    if (m_noSource) return nullptr;
    return std::make_unique<ScriptedSource>(m_script);
}

std::vector<std::uint32_t> StatusReads(const velmora::sim::SimCamera& camera)
{
    std::vector<std::uint32_t> addresses;
    for (const std::vector<std::uint8_t>& request : camera.Writes()) {
        if (request.size() != 12 || request[0] != 0x26 || request[1] != 0x80 || request[6] != 1) continue;
        addresses.push_back(static_cast<std::uint32_t>(request[2]) << 24 |
                            static_cast<std::uint32_t>(request[3]) << 16 |
                            static_cast<std::uint32_t>(request[4]) << 8 | request[5]);
    }
    return addresses;
}

std::vector<std::uint32_t> OneStatusRead()
{
    std::vector<std::uint32_t> addresses;
    for (std::uint32_t address = 376; address <= 399; ++address) addresses.push_back(address);
    return addresses;
}

QStringList Labels(const QComboBox& list)
{
    QStringList labels;
    for (int i = 0; i < list.count(); ++i) labels << list.itemText(i);
    return labels;
}

bool HasRun(const QStringList& lines, const QStringList& expected)
{
    for (int start = 0; start + expected.size() <= lines.size(); ++start) {
        if (lines.mid(start, expected.size()) == expected) return true;
    }
    return false;
}

}  // namespace device_change_test

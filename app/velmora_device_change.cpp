#include <QDebug>
#include <QEvent>
#include <QSocketNotifier>
#include <functional>
#include <memory>

#include "app/hotkey_controller.h"
#include "app/velmora.h"
#include "devices/device_change_handling.h"

namespace {

// Calls back whenever the descriptor turns readable; a child of the window, on the GUI thread.
// Handles the notifier's own event rather than its activated() signal, whose signature differs
// between Qt 5 and Qt 6.
class DescriptorWatcher : public QSocketNotifier {
public:
    DescriptorWatcher(int descriptor, std::function<void()> readable, QObject* parent)
        : QSocketNotifier(descriptor, QSocketNotifier::Read, parent), m_readable(std::move(readable))
    {
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::SockAct) return QSocketNotifier::event(event);
        m_readable();
        return true;
    }

private:
    std::function<void()> m_readable;
};

}  // namespace

void Velmora::RegisterDeviceChange()
{
    m_deviceChange = m_backend->CreateDeviceChangeSource();
    if (!m_deviceChange) {
        velmora::LogDeviceChangeRegistrationFailed();
        return;
    }
    const auto nativeWindow = static_cast<std::uintptr_t>(winId());
    for (const velmora::Guid& interfaceClass : velmora::WatchedInterfaceClasses) {
        const velmora::Status status = m_deviceChange->Register(
            nativeWindow, interfaceClass,
            [this](const velmora::DeviceChangeEvent& event) { HandleDeviceChange(event); });
        if (velmora::Failed(status)) velmora::LogDeviceChangeRegistrationFailed();
    }
    const std::string notice = m_deviceChange->Notice();
    if (!notice.empty()) qDebug().noquote() << QString::fromStdString(notice);
    const int descriptor = m_deviceChange->EventDescriptor();
    if (descriptor >= 0) {
        m_deviceChangeWatcher = std::make_unique<DescriptorWatcher>(
            descriptor, [this] { m_deviceChange->DispatchPending(); }, this);
    }
}

void Velmora::HandleDeviceChange(const velmora::DeviceChangeEvent& event)
{
    const bool removal = event.kind == velmora::DeviceChangeKind::RemoveComplete;
    velmora::HandleDeviceChangeEvent(event, {[this, removal] {
                                                 // A camera went: a hotkey's hold ends, its release sent
                                                 // while the list still selects the camera it held.
                                                 if (removal && m_hotkeys) m_hotkeys->LetGo();
                                                 RefreshDeviceList();
                                             },
                                             [] { ReadStatusRegisters(); }});
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
bool Velmora::nativeEvent(const QByteArray&, void* message, qintptr*)
#else
bool Velmora::nativeEvent(const QByteArray&, void* message, long*)
#endif
{
    velmora::DeviceChangeEvent event;
    if (m_deviceChange && m_deviceChange->TranslateNativeMessage(message, event)) HandleDeviceChange(event);
    return false;
}

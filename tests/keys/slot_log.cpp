#include "tests/keys/slot_log.h"

#include "tests/support/message_box_watcher.h"

namespace {
SlotLog* g_active = nullptr;
}

SlotLog::SlotLog(std::vector<std::shared_ptr<velmora::sim::SimCamera>> cameras,
                 const MessageBoxWatcher& boxes)
    : m_cameras(std::move(cameras)), m_boxes(boxes), m_seenBoxes(boxes.Seen().size())
{
    for (const auto& camera : m_cameras) m_seenWrites.push_back(camera->Writes().size());
    g_active = this;
    m_previous = qInstallMessageHandler(&SlotLog::Handler);
}

SlotLog::~SlotLog()
{
    qInstallMessageHandler(m_previous);
    g_active = nullptr;
}

QStringList SlotLog::Take()
{
    Sync();
    QStringList events;
    events.swap(m_events);
    return events;
}

void SlotLog::Handler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg || !g_active) return;
    g_active->Sync();
    g_active->m_events << "debug " + message;
}

void SlotLog::Sync()
{
    for (std::size_t i = 0; i < m_cameras.size(); ++i) {
        const auto& writes = m_cameras[i]->Writes();
        for (; m_seenWrites[i] < writes.size(); ++m_seenWrites[i]) {
            m_events << QString("camera %1: %2").arg(i).arg(PacketText(writes[m_seenWrites[i]]));
        }
    }
    for (; m_seenBoxes < m_boxes.Seen().size(); ++m_seenBoxes) m_events << "box";
}

QString PacketText(const std::vector<std::uint8_t>& bytes)
{
    QStringList hex;
    for (std::uint8_t byte : bytes) hex << QString("%1").arg(byte, 2, 16, QChar('0')).toUpper();
    return hex.join(' ');
}

// One ordered record of what the key slots did: debug lines, packets each simulated camera
// received and message boxes, as text lines like "debug pressed()", "camera 0: 26 16 ...", "box".
#pragma once

#include <QStringList>
#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/sim/sim_camera.h"

class MessageBoxWatcher;

class SlotLog {
public:
    // Records from now on; earlier packets and boxes are not listed.
    SlotLog(std::vector<std::shared_ptr<velmora::sim::SimCamera>> cameras, const MessageBoxWatcher& boxes);
    ~SlotLog();
    SlotLog(const SlotLog&) = delete;
    SlotLog& operator=(const SlotLog&) = delete;

    // Everything recorded since the last call.
    QStringList Take();

private:
    static void Handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
    void Sync();

    std::vector<std::shared_ptr<velmora::sim::SimCamera>> m_cameras;
    std::vector<std::size_t> m_seenWrites;
    const MessageBoxWatcher& m_boxes;
    int m_seenBoxes = 0;
    QStringList m_events;
    QtMessageHandler m_previous = nullptr;
};

// "26 16 00 00 00 01 00 00 00 00 05 BD"
QString PacketText(const std::vector<std::uint8_t>& bytes);

#include "app/debug_log.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>

namespace velmora {

namespace {

struct LogState {
    QMutex mutex;
    QFile file;
    QtMessageHandler previous = nullptr;
};

LogState& State()
{
    static LogState state;
    return state;
}

void AppendMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    LogState& state = State();
    QtMessageHandler previous = nullptr;
    {
        QMutexLocker lock(&state.mutex);
        if (state.file.isOpen()) {
            state.file.write(message.toUtf8().append('\n'));
            state.file.flush();
        }
        previous = state.previous;
    }
    if (previous) previous(type, context, message);
}

}  // namespace

DebugLog::DebugLog(const QString& path)
{
    if (path.isEmpty()) return;
    LogState& state = State();
    QMutexLocker lock(&state.mutex);
    if (state.file.isOpen()) return;
    state.file.setFileName(path);
    if (!state.file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    m_active = true;
    m_previous = qInstallMessageHandler(&AppendMessage);
    state.previous = m_previous;
}

DebugLog::~DebugLog()
{
    if (!m_active) return;
    qInstallMessageHandler(m_previous);
    LogState& state = State();
    QMutexLocker lock(&state.mutex);
    state.file.close();
    state.previous = nullptr;
}

}  // namespace velmora

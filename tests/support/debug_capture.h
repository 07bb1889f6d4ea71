// Collects what the program writes to Qt's debug channel while it lives.
#pragma once

#include <QStringList>
#include <QtGlobal>

class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    const QStringList& Lines() const { return m_lines; }
    void Clear() { m_lines.clear(); }

private:
    static void Handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
    DebugCapture* m_outer = nullptr;
};

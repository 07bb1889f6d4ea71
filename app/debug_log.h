// An opt-in copy of Qt's debug channel in a file. A GUI-subsystem program on Windows sends that
// channel to OutputDebugString, where neither a user nor a test sees it; with VELMORA_DEBUG_LOG
// naming a file, each message is also appended there, one a line, in UTF-8.
#pragma once

#include <QString>
#include <QtGlobal>

namespace velmora {

// While it lives, every message (all types) is appended to the file and then handed on to the
// handler that was there before. Does nothing for an empty path or a file that cannot be opened.
// One at a time.
class DebugLog {
public:
    explicit DebugLog(const QString& path);
    ~DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;

    bool Active() const { return m_active; }

private:
    bool m_active = false;
    QtMessageHandler m_previous = nullptr;
};

// The variable main reads.
inline constexpr char DebugLogVariable[] = "VELMORA_DEBUG_LOG";

}  // namespace velmora

#include "tests/support/debug_capture.h"

namespace {
DebugCapture* g_active = nullptr;
}

DebugCapture::DebugCapture() : m_outer(g_active)
{
    g_active = this;
    m_previous = qInstallMessageHandler(&DebugCapture::Handler);
}

DebugCapture::~DebugCapture()
{
    qInstallMessageHandler(m_previous);
    g_active = m_outer;
}

void DebugCapture::Handler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg && g_active) g_active->m_lines.append(message);
}

#include <QDebug>
#include <QMetaMethod>

#include "app/velmora.h"
#include "app/window_macros.h"
#include "keys/key_slot.h"

namespace {

// VELMORA_TRACE_SLOTS=1 names every slot on the debug channel as it runs.
bool SlotTraceEnabled()
{
    return qEnvironmentVariableIntValue("VELMORA_TRACE_SLOTS") != 0;
}

}  // namespace

void Velmora::RunKeySlot(int slotIndex)
{
    // A key pressed from the window cancels a running macro first: its release goes out before.
    if (slotIndex % 2 == 0 && m_macros && !m_macros->Sending()) m_macros->Cancel();
    if (SlotTraceEnabled()) {
        const QMetaMethod method = metaObject()->method(metaObject()->methodOffset() + slotIndex);
        qDebug().noquote() << "slot" << QString::fromLatin1(method.name());
    }
    velmora::RunControlKeySlot(slotIndex, ui.DeviceList, m_deviceTable);
}

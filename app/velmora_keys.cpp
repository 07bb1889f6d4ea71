#include <QDebug>
#include <QMetaMethod>

#include "app/velmora.h"
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
    if (SlotTraceEnabled()) {
        const QMetaMethod method = metaObject()->method(metaObject()->methodOffset() + slotIndex);
        qDebug().noquote() << "slot" << QString::fromLatin1(method.name());
    }
    velmora::RunControlKeySlot(slotIndex, ui.DeviceList, m_deviceTable);
}

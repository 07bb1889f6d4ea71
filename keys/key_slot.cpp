#include "keys/key_slot.h"

#include <QDebug>
#include <QMessageBox>
#include <QString>

#include "devices/device_list.h"
#include "keys/key_table.h"
#include "xu/register_protocol.h"

namespace velmora {

void ShowNoDeviceWarning()
{
    QMessageBox::warning(nullptr, QStringLiteral("Warning"), QString::fromUtf8("请插入设备！"),
                         QMessageBox::Yes, QMessageBox::Yes);
}

void RunControlKeySlot(int slotIndex, const QComboBox* deviceList, const DeviceTable& table)
{
    const KeySlotAction action = KeySlot(slotIndex);
    if (!action.key) return;
    if (!action.debugMessage.empty()) {
        qDebug().noquote() << QString::fromLatin1(action.debugMessage.data(),
                                                  static_cast<int>(action.debugMessage.size()));
    }
    const int handle = SelectedDeviceHandle(deviceList);
    if (handle == 0) {
        ShowNoDeviceWarning();
        return;
    }
    if (action.writes) {
        WriteRegister(DeviceForHandle(table, handle), KeyRegisterAddress, action.data, KeyParam, KeyCommand);
    }
}

}  // namespace velmora

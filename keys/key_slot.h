// The body shared by the window's 24 key slots.
#pragma once

#include <QComboBox>

#include "devices/device_table.h"

namespace velmora {

// Runs slot slotIndex (0..23, the window's slot order): its debug message first, then its
// register write to the device selected in deviceList. Without a usable selection it shows the
// no-device warning instead and sends nothing. The write's status is not looked at.
void RunControlKeySlot(int slotIndex, const QComboBox* deviceList, const DeviceTable& table);

// The no-device warning: "Warning", "请插入设备！", Yes as both buttons, no parent.
void ShowNoDeviceWarning();

}  // namespace velmora

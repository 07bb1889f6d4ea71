// DeviceList, the window's combo box of capture devices: filling, refresh and the selection.
#pragma once

#include <QComboBox>

#include "devices/device_table.h"
#include "platform/backend.h"

namespace velmora {

// Clears the list, then adds one item per filled slot from slot 0 on, with its label as text
// and its handle as user data (Qt::UserRole). A device whose property store cannot be opened
// (pulled since the enumeration, a driver hiccup) keeps its slot but gets no item, and a debug
// line says so. Makes index 0 current when it added any. Returns the items added.
int FillDeviceList(QComboBox* list, const DeviceTable& table);

// Clears the list before any device is given back, empties the table, enumerates again and
// fills the list anew. Returns what FillDeviceList returned.
int RefreshDeviceList(QComboBox* list, DeviceTable& table, Backend& backend);

// The handle of the current item, or 0 when there is no current item or its user data does not
// convert to an int.
int SelectedDeviceHandle(const QComboBox* list);

}  // namespace velmora

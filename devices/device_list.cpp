#include "devices/device_list.h"

#include <QVariant>

#include "devices/device_enumeration.h"
#include "devices/device_label.h"

namespace velmora {

int FillDeviceList(QComboBox* list, const DeviceTable& table)
{
    list->clear();
    int count = 0;
    while (count < DeviceTable::Capacity && table.monikers[count]) {
        QString label;
        if (!BuildDeviceLabel(label, table.monikers[count].get())) break;
        list->insertItem(count, label, QVariant(table.handles[count]));
        ++count;
    }
    if (count > 0) list->setCurrentIndex(0);
    return count;
}

int RefreshDeviceList(QComboBox* list, DeviceTable& table, Backend& backend)
{
    list->clear();
    ClearDeviceTable(table);
    EnumerateCaptureDevices(table, backend);
    return FillDeviceList(list, table);
}

int SelectedDeviceHandle(const QComboBox* list)
{
    if (!list) return 0;
    bool ok = false;
    const int handle = list->currentData(Qt::UserRole).toInt(&ok);
    return ok ? handle : 0;
}

}  // namespace velmora

#include "devices/device_list.h"

#include <QDebug>
#include <QVariant>

#include "devices/device_enumeration.h"
#include "devices/device_label.h"

namespace velmora {

int FillDeviceList(QComboBox* list, const DeviceTable& table)
{
    list->clear();
    int count = 0;
    for (int slot = 0; slot < DeviceTable::Capacity && table.monikers[slot]; ++slot) {
        QString label;
        if (!BuildDeviceLabel(label, table.monikers[slot].get())) {
            qDebug().noquote() << QString("device %1: its properties cannot be read, not listed").arg(slot);
            continue;
        }
        list->insertItem(count, label, QVariant(table.handles[slot]));
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

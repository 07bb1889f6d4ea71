#include "devices/device_table.h"

#include <limits>

namespace velmora {

int NextDeviceHandle()
{
    static int last = 0;
    last = last == std::numeric_limits<int>::max() ? 1 : last + 1;
    return last;
}

void FillSlot(DeviceTable& table, int index, std::unique_ptr<Moniker> moniker,
              std::unique_ptr<CaptureDevice> filter)
{
    table.monikers[index] = std::move(moniker);
    table.filters[index] = std::move(filter);
    table.handles[index] = NextDeviceHandle();
}

void ClearDeviceTable(DeviceTable& table)
{
    for (int i = 0; i < DeviceTable::Capacity; ++i) {
        table.monikers[i].reset();
        table.filters[i].reset();
        table.handles[i] = 0;
    }
}

CaptureDevice* DeviceForHandle(const DeviceTable& table, int handle)
{
    if (handle == 0) return nullptr;
    for (int i = 0; i < DeviceTable::Capacity; ++i) {
        if (table.handles[i] == handle) return table.filters[i].get();
    }
    return nullptr;
}

}  // namespace velmora

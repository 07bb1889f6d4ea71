#include "devices/device_enumeration.h"

#include <string>

namespace velmora {

int EnumerateCaptureDevices(DeviceTable& table, Backend& backend)
{
    ClearDeviceTable(table);

    std::unique_ptr<SystemDeviceEnumerator> systemEnumerator;
    if (Failed(backend.CreateSystemDeviceEnumerator(systemEnumerator)) || !systemEnumerator) return -1;

    std::unique_ptr<MonikerEnumerator> devices;
    if (Failed(systemEnumerator->CreateVideoInputEnumerator(devices)) || !devices) return -1;

    devices->Reset();
    int count = 0;
    while (count < DeviceTable::Capacity) {
        std::unique_ptr<Moniker> moniker;
        if (devices->Next(moniker) != StatusOk || !moniker) break;

        std::unique_ptr<PropertyBag> properties;
        if (Failed(moniker->BindToStorage(properties)) || !properties) continue;

        std::string devicePath;
        if (Failed(properties->Read(PropertyDevicePath, devicePath))) continue;

        std::unique_ptr<CaptureDevice> filter;
        if (Failed(moniker->BindToObject(filter)) || !filter) continue;

        FillSlot(table, count, std::move(moniker), std::move(filter));
        ++count;
    }
    return count;
}

}  // namespace velmora

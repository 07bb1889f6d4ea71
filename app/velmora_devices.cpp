#include "app/velmora.h"
#include "devices/device_enumeration.h"
#include "devices/device_list.h"

int Velmora::EnumerateAndFill()
{
    velmora::EnumerateCaptureDevices(m_deviceTable, *m_backend);
    return velmora::FillDeviceList(ui.DeviceList, m_deviceTable);
}

int Velmora::RefreshDeviceList()
{
    return velmora::RefreshDeviceList(ui.DeviceList, m_deviceTable, *m_backend);
}

velmora::CaptureDevice* Velmora::DeviceForHandle(int handle) const
{
    return velmora::DeviceForHandle(m_deviceTable, handle);
}

velmora::CaptureDevice* Velmora::SelectedDevice() const
{
    return DeviceForHandle(velmora::SelectedDeviceHandle(ui.DeviceList));
}

#include "app/velmora.h"

int Velmora::EnumerateAndFill() { return 0; }

int Velmora::RefreshDeviceList() { return 0; }

velmora::CaptureDevice* Velmora::DeviceForHandle(int) const { return nullptr; }

velmora::CaptureDevice* Velmora::SelectedDevice() const { return nullptr; }

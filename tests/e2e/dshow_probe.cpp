// velmora-dshow-probe: the Windows backend's adapters against the system's own DirectShow. Each
// video input device is bound to its capture filter whatever its property bag holds (the programs
// pass over one without "DevicePath", as all of wine's are) and asked what the window asks at
// start: the zoom (IAMCameraControl) and a status register (IKsControl). One line a device:
//   DEVICE <index> bind <status> zoom <status> read <status>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/backend.h"
#include "platform/windows/com_apartment.h"
#include "xu/register_protocol.h"
#include "xu/xu_transport.h"

int main()
{
    using namespace velmora;
    const windows::ComApartment com;
    std::string error;
    const std::shared_ptr<Backend> backend = CreateBackend("native", error);
    std::unique_ptr<SystemDeviceEnumerator> system;
    std::unique_ptr<MonikerEnumerator> devices;
    if (!backend || Failed(backend->CreateSystemDeviceEnumerator(system)) || !system ||
        system->CreateVideoInputEnumerator(devices) != StatusOk || !devices) {
        std::puts("NO DEVICES");
        return 1;
    }
    std::unique_ptr<Moniker> moniker;
    for (int index = 0; devices->Next(moniker) == StatusOk && moniker; ++index) {
        std::unique_ptr<CaptureDevice> filter;
        const Status bound = moniker->BindToObject(filter);
        CameraZoom zoom;
        std::uint64_t value = 0;
        const Status zoomed = filter ? ReadCameraZoom(filter.get(), zoom) : bound;
        const Status read = filter ? ReadRegister(filter.get(), 376, value, 1, 0) : bound;
        std::printf("DEVICE %d bind %s zoom %s read %s\n", index, StatusName(bound).c_str(),
                    StatusName(zoomed).c_str(), StatusName(read).c_str());
    }
    return 0;
}

#include "app/velmora.h"
#include "xu/register_protocol.h"
#include "xu/xu_transport.h"

velmora::Status Velmora::QueryCameraZoom()
{
    velmora::CaptureDevice* device = SelectedDevice();
    if (!device) return velmora::StatusFail;
    std::int16_t value = 0;
    std::int16_t minimum = 0;
    std::int16_t maximum = 0;
    std::int16_t step = 0;
    return velmora::GetCameraZoom(device, value, minimum, maximum, step);
}

void ReadStatusRegisters()
{
    if (!s_mainWindow) return;
    velmora::ReadStatusRegisterBlock(s_mainWindow->SelectedDevice());
}

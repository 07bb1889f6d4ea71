#include "app/velmora.h"

void Velmora::RegisterDeviceChange() {}

void Velmora::HandleDeviceChange(const velmora::DeviceChangeEvent&) {}

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
bool Velmora::nativeEvent(const QByteArray&, void*, qintptr*)
#else
bool Velmora::nativeEvent(const QByteArray&, void*, long*)
#endif
{
    return false;
}

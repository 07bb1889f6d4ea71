#include "devices/device_label.h"

#include <string>

namespace velmora {

namespace {

constexpr int ExcerptLength = 17;

// The property as read, up to its first NUL.
QString PropertyText(const std::string& value)
{
    return QString::fromUtf8(value.c_str());
}

}  // namespace

QString DevicePathExcerpt(const QString& devicePath)
{
    const QString upper = devicePath.toUpper();
    const int vid = upper.indexOf(QLatin1String("VID"));
    return vid < 0 ? upper : upper.mid(vid, ExcerptLength);
}

bool BuildDeviceLabel(QString& label, Moniker* moniker)
{
    if (!moniker) return false;
    std::unique_ptr<PropertyBag> properties;
    if (Failed(moniker->BindToStorage(properties)) || !properties) return false;

    std::string value;
    if (properties->Read(PropertyFriendlyName, value) == StatusOk) label = PropertyText(value);

    value.clear();
    if (properties->Read(PropertyDevicePath, value) == StatusOk) {
        label += QLatin1String("    ") + DevicePathExcerpt(PropertyText(value));
    }
    return true;
}

}  // namespace velmora

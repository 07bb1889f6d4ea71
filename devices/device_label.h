// The text of a DeviceList item: "FriendlyName", four spaces, the VID_xxxx&PID_xxxx excerpt.
#pragma once

#include <QString>

#include "platform/device_enumerator.h"

namespace velmora {

// The upper-cased path from its first "VID", at most 17 characters; the whole upper-cased
// path when it has no "VID".
QString DevicePathExcerpt(const QString& devicePath);

// Builds label in place from the moniker's property store: the friendly name when it can be
// read, then, when the path can be read, four spaces and its excerpt. False without a moniker
// or when the property store cannot be opened; true otherwise, also when a read failed.
bool BuildDeviceLabel(QString& label, Moniker* moniker);

}  // namespace velmora

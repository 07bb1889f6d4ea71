// What the device-change tests compare against: the capture class of the notifications and the
// window's removal texts.
#pragma once

#include <QString>

namespace device_change_test {

inline const QString kCaptureGuidText = "65E8773D-8F56-11D0-A3B9-00A0C9223196";
inline const QString kRemoved = QString::fromUtf8("设备移除");
inline const QString kVideoRemoved = QString::fromUtf8("USB视频设备移除！");

}  // namespace device_change_test

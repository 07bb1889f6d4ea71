// The shared device-table walk and labels over the Linux backend.
#include <gtest/gtest.h>

#include <QString>
#include <memory>

#include "devices/device_enumeration.h"
#include "devices/device_label.h"
#include "platform/linux/linux_backend.h"
#include "tests/linux/fake_linux_system.h"

namespace velmora::linux_backend {
namespace {

using linux_test::FakeLinuxSystem;
using linux_test::UvcCamera;

std::vector<QString> Labels(DeviceTable& table)
{
    std::vector<QString> labels;
    for (auto& moniker : table.monikers) {
        if (!moniker) break;
        QString label;
        EXPECT_TRUE(BuildDeviceLabel(label, moniker.get()));
        labels.push_back(label);
    }
    return labels;
}

TEST(LinuxDeviceLabels, UsbCamerasShowTheirIdsAndOtherDevicesTheirWholePath)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {}), "USB Camera");
    system->AddVideoNode(2, system->AddPciDevice("0000:03:00.0"), 0, true, "HDMI Capture");
    system->AddUvcCamera(3, "1-2", 0x1B3F, 0x2247, UvcCamera(0x1B3F, 0x2247, {}), "Conference Camera");
    LinuxBackend backend(system);
    DeviceTable table;
    ASSERT_EQ(EnumerateCaptureDevices(table, backend), 3);
    const std::vector<QString> expected = {
        "USB Camera    VID_ABCD&PID_EF01",
        "HDMI Capture    PCI#0000:03:00.0#/DEV/CHAR/81:2",
        "Conference Camera    VID_1B3F&PID_2247",
    };
    EXPECT_EQ(Labels(table), expected);
    EXPECT_EQ(system->OpenNow(), 0);
}

}  // namespace
}  // namespace velmora::linux_backend

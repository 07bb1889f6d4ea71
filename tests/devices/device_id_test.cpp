// A camera's id: the same after a replug, different for two cameras of one model.
#include <gtest/gtest.h>

#include "devices/device_id.h"

namespace velmora {
namespace {

TEST(StableDeviceId, SurvivesAReplugAndTellsTwinCamerasApart)
{
    // Linux: a replug may give the node another number; the port path and serial stay.
    const std::string linux = StableDeviceId("usb#vid_046d&pid_0825&mi_00#1-1:1.0#/dev/char/81:0", "");
    EXPECT_EQ(linux.substr(0, 10), "046d-0825-");
    EXPECT_EQ(StableDeviceId("usb#vid_046d&pid_0825&mi_00#1-1:1.0#/dev/char/81:4", ""), linux);
    EXPECT_NE(StableDeviceId("usb#vid_046d&pid_0825&mi_00#1-2:1.0#/dev/char/81:2", ""), linux);
    // With a serial number the port plays no part.
    EXPECT_EQ(StableDeviceId("usb#vid_046d&pid_0825&mi_00#1-1:1.0#/dev/char/81:0", "A1B2"),
              StableDeviceId("usb#vid_046d&pid_0825&mi_00#3-4:1.0#/dev/char/81:6", "A1B2"));
    EXPECT_NE(StableDeviceId("usb#vid_046d&pid_0825&mi_00#1-1:1.0#/dev/char/81:0", "A1B3"),
              StableDeviceId("usb#vid_046d&pid_0825&mi_00#1-1:1.0#/dev/char/81:0", "A1B2"));
    // Windows: the instance part, in any letter case.
    EXPECT_EQ(StableDeviceId("\\\\?\\USB#VID_046D&PID_0825&MI_00#6&2C0A0001&0&0000#{65e8773d-8f56-11d0-a3b9-"
                             "00a0c9223196}\\global",
                             ""),
              StableDeviceId("\\\\?\\usb#vid_046d&pid_0825&mi_00#6&2c0a0001&0&0000#{65e8773d-8f56-11d0-a3b9-"
                             "00a0c9223196}\\global",
                             ""));
    EXPECT_EQ(StableDeviceId("pci#0000:03:00.0#/dev/char/81:2", "").substr(0, 10), "0000-0000-");

    std::vector<std::string> ids{"a", "b", "a", "a"};
    DisambiguateDeviceIds(ids);
    EXPECT_EQ(ids, (std::vector<std::string>{"a", "b", "a-2", "a-3"}));
}

}  // namespace
}  // namespace velmora

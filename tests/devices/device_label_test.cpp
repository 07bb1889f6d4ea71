// Device labels from the friendly name and the device path.
#include <gtest/gtest.h>

#include <string>

#include "devices/device_label.h"
#include "tests/devices/sim_devices.h"

namespace {

using devices_test::BackendWith;
using devices_test::FirstMoniker;
using velmora::sim::SimCameraConfig;

const char kUsbCameraPath[] =
    "\\\\?\\usb#vid_abcd&pid_ef01&mi_00#6&2c0a0001&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

SimCameraConfig CameraWith(std::optional<std::string> name, std::optional<std::string> path)
{
    SimCameraConfig camera;
    camera.friendlyName = std::move(name);
    camera.devicePath = std::move(path);
    return camera;
}

// The label BuildDeviceLabel makes for a camera, starting from an empty text.
QString LabelOf(const SimCameraConfig& camera, bool* opened = nullptr)
{
    auto backend = BackendWith({camera});
    auto moniker = FirstMoniker(*backend);
    QString label;
    const bool result = velmora::BuildDeviceLabel(label, moniker.get());
    if (opened) *opened = result;
    moniker.reset();
    EXPECT_EQ(backend->Live().Total(), 0) << "the property store was not given back";
    return label;
}

TEST(DeviceLabel, UsbCameraShowsNameFourSpacesAndVendorProduct)
{
    bool opened = false;
    EXPECT_EQ(LabelOf(CameraWith("USB Camera", kUsbCameraPath), &opened), "USB Camera    VID_ABCD&PID_EF01");
    EXPECT_TRUE(opened);
}

TEST(DeviceLabel, PathExcerptRules)
{
    struct Case {
        const char* path;
        const char* excerpt;
    };
    const Case cases[] = {
        // No "VID": the whole path, upper-cased.
        {"\\\\?\\root#image#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
         "\\\\?\\ROOT#IMAGE#0000#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\\GLOBAL"},
        // Fewer than 17 characters left after "VID": up to the end.
        {"usb#vid_12", "VID_12"},
        {"vid", "VID"},
        // Exactly 17 characters, and one more that is cut.
        {"usb#vid_abcd&pid_ef01", "VID_ABCD&PID_EF01"},
        {"usb#vid_abcd&pid_ef012", "VID_ABCD&PID_EF01"},
        // The first "VID" counts, wherever it stands; lower and mixed case are found.
        {"usb#david#vid_1234&pid_5678", "VID#VID_1234&PID_"},
        {"Usb#Vid_0aBc&Pid_00fF&mi_02", "VID_0ABC&PID_00FF"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(LabelOf(CameraWith("Cam", std::string(c.path))), QString("Cam    ") + c.excerpt);
        EXPECT_EQ(velmora::DevicePathExcerpt(QString::fromUtf8(c.path)), QString(c.excerpt));
    }
}

TEST(DeviceLabel, MissingPropertiesLeaveTheirPieceOut)
{
    EXPECT_EQ(LabelOf(CameraWith(std::nullopt, kUsbCameraPath)), "    VID_ABCD&PID_EF01");
    EXPECT_EQ(LabelOf(CameraWith("USB Camera", std::nullopt)), "USB Camera");
    bool opened = false;
    EXPECT_EQ(LabelOf(CameraWith(std::nullopt, std::nullopt), &opened), "");
    EXPECT_TRUE(opened);
}

TEST(DeviceLabel, TextIsUtf8AndEndsAtTheFirstNul)
{
    EXPECT_EQ(LabelOf(CameraWith("高清摄像头", kUsbCameraPath)),
              QString::fromUtf8("高清摄像头    VID_ABCD&PID_EF01"));
    EXPECT_EQ(LabelOf(CameraWith(std::string("Cam\0junk", 8), std::string("usb#vid_1\0vid_2", 15))),
              "Cam    VID_1");
}

TEST(DeviceLabel, FailsWithoutMonikerOrPropertyStoreAndKeepsTheText)
{
    QString label = "untouched";
    EXPECT_FALSE(velmora::BuildDeviceLabel(label, nullptr));
    EXPECT_EQ(label, "untouched");

    SimCameraConfig camera = CameraWith("USB Camera", kUsbCameraPath);
    camera.failBindToStorage = true;
    auto backend = BackendWith({camera});
    auto moniker = FirstMoniker(*backend);
    ASSERT_NE(moniker, nullptr);
    EXPECT_FALSE(velmora::BuildDeviceLabel(label, moniker.get()));
    EXPECT_EQ(label, "untouched");
    EXPECT_EQ(backend->Live().propertyBags, 0);
}

}  // namespace

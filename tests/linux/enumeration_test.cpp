// Capture devices listed from fake sysfs trees, as the system device enumerator port reports them.
#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <filesystem>
#include <memory>

#include "platform/linux/linux_backend.h"
#include "platform/linux/linux_device_enumerator.h"
#include "tests/linux/fake_linux_system.h"

namespace velmora::linux_backend {
namespace {

using linux_test::FakeLinuxSystem;
using linux_test::UvcCamera;

struct Listed {
    std::string friendlyName;
    std::string devicePath;
    std::string deviceNode;
};

// Walks the enumerator as the device list does, reading both properties of every device.
Status ListDevices(const std::shared_ptr<FakeLinuxSystem>& system, std::vector<Listed>& devices)
{
    LinuxBackend backend(system);
    std::unique_ptr<SystemDeviceEnumerator> enumerator;
    Status status = backend.CreateSystemDeviceEnumerator(enumerator);
    if (Failed(status)) return status;
    std::unique_ptr<MonikerEnumerator> monikers;
    status = enumerator->CreateVideoInputEnumerator(monikers);
    if (status != StatusOk) return status;
    EXPECT_EQ(monikers->Reset(), StatusOk);
    std::unique_ptr<Moniker> moniker;
    while (monikers->Next(moniker) == StatusOk) {
        std::unique_ptr<PropertyBag> bag;
        EXPECT_EQ(moniker->BindToStorage(bag), StatusOk);
        Listed device;
        EXPECT_EQ(bag->Read(PropertyFriendlyName, device.friendlyName), StatusOk);
        EXPECT_EQ(bag->Read(PropertyDevicePath, device.devicePath), StatusOk);
        EXPECT_EQ(bag->Read(PropertyDeviceNode, device.deviceNode), StatusOk);
        std::string unknown;
        EXPECT_TRUE(Failed(bag->Read("Description", unknown)));
        std::unique_ptr<CaptureDevice> capture;
        EXPECT_EQ(moniker->BindToObject(capture), StatusOk);
        devices.push_back(device);
    }
    return status;
}

TEST(LinuxEnumeration, ListsACameraOnceThoughUvcvideoGivesItTwoNodes)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {{4, DefaultXuPropertySet}}),
                         "USB Camera");
    std::vector<Listed> devices;
    ASSERT_EQ(ListDevices(system, devices), StatusOk);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].friendlyName, "USB Camera");
    EXPECT_EQ(devices[0].devicePath, "usb#vid_abcd&pid_ef01&mi_00#1-1:1.0#/dev/char/81:0");
    EXPECT_EQ(devices[0].deviceNode, system->DevRoot() + "/video0");
    // Both nodes were opened to ask them what they are, and both were closed again.
    EXPECT_EQ(system->Opens(), 2);
    EXPECT_EQ(system->OpenNow(), 0);
}

// The USB serial number, where the camera has one, tells two cameras of one model apart.
TEST(LinuxEnumeration, ThePropertyBagAnswersTheSerialNumberWhereThereIsOne)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {}), "USB Camera");
    system->AddUvcCamera(2, "1-2", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {}), "USB Camera");
    system->WriteFile(system->SysfsRoot() + "/devices/pci0000:00/0000:00:14.0/usb1/1-1/serial", "SN0042\n");
    LinuxBackend backend(system);
    std::unique_ptr<SystemDeviceEnumerator> enumerator;
    ASSERT_EQ(backend.CreateSystemDeviceEnumerator(enumerator), StatusOk);
    std::unique_ptr<MonikerEnumerator> monikers;
    ASSERT_EQ(enumerator->CreateVideoInputEnumerator(monikers), StatusOk);
    std::vector<std::string> serials;
    std::unique_ptr<Moniker> moniker;
    while (monikers->Next(moniker) == StatusOk) {
        std::unique_ptr<PropertyBag> bag;
        ASSERT_EQ(moniker->BindToStorage(bag), StatusOk);
        std::string serial = "none";
        if (Failed(bag->Read(PropertySerialNumber, serial))) serial = "none";
        serials.push_back(serial);
    }
    EXPECT_EQ(serials, (std::vector<std::string>{"SN0042", "none"}));
}

// uvcvideo names the card "<product>: <iFunction or iInterface string>" when the camera has one, as
// most do; the real driver under qemu showed "USB Camera: USB Camera" for a camera named USB Camera.
TEST(LinuxEnumeration, TheFriendlyNameIsTheUsbProductNotTheDriversCardName)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {{4, DefaultXuPropertySet}}),
                         "USB Camera: USB Camera");
    system->AddUvcCamera(2, "1-2", 0x1B3F, 0x2247, UvcCamera(0x1B3F, 0x2247, {{4, DefaultXuPropertySet}}),
                         "UVC Camera (1b3f:2247)");
    system->WriteFile(system->SysfsRoot() + "/devices/pci0000:00/0000:00:14.0/usb1/1-1/product",
                      "USB Camera\n");
    std::vector<Listed> devices;
    ASSERT_EQ(ListDevices(system, devices), StatusOk);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].friendlyName, "USB Camera");
    // Without a product string the card name is all there is.
    EXPECT_EQ(devices[1].friendlyName, "UVC Camera (1b3f:2247)");
}

TEST(LinuxEnumeration, ListsCamerasInTheOrderOfTheirNodeNumbers)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    // Created first, numbered last; "video10" also sorts before "video2" as text.
    system->AddUvcCamera(10, "1-2", 0x1B3F, 0x2247, UvcCamera(0x1B3F, 0x2247, {}), "Conference Camera");
    system->AddUvcCamera(2, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {}), "USB Camera");
    std::vector<Listed> devices;
    ASSERT_EQ(ListDevices(system, devices), StatusOk);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].friendlyName, "USB Camera");
    EXPECT_EQ(devices[0].devicePath, "usb#vid_abcd&pid_ef01&mi_00#1-1:1.0#/dev/char/81:2");
    EXPECT_EQ(devices[1].friendlyName, "Conference Camera");
    EXPECT_EQ(devices[1].devicePath, "usb#vid_1b3f&pid_2247&mi_00#1-2:1.0#/dev/char/81:10");
}

TEST(LinuxEnumeration, ANonUsbCaptureDeviceHasNoVendorInItsPath)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    system->AddVideoNode(0, system->AddPciDevice("0000:03:00.0"), 0, true, "HDMI Capture");
    std::vector<Listed> devices;
    ASSERT_EQ(ListDevices(system, devices), StatusOk);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].friendlyName, "HDMI Capture");
    EXPECT_EQ(devices[0].devicePath, "pci#0000:03:00.0#/dev/char/81:0");
}

TEST(LinuxEnumeration, NodesThatCannotBeAskedAreJudgedOrLeftOut)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    // No permission: the first node of the camera is listed under its sysfs name, so that using it
    // reports the permission problem; its metadata node is not.
    system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {}), "USB Camera");
    system->Node(0).openError = EACCES;
    system->Node(1).openError = EACCES;
    // Unplugged between the sysfs walk and the open.
    system->AddUvcCamera(2, "1-2", 0x1B3F, 0x2247, UvcCamera(0x1B3F, 0x2247, {}), "Gone Camera");
    system->Node(2).present = false;
    // An output-only node.
    system->AddVideoNode(4, system->AddPciDevice("0000:04:00.0"), 0, false, "Encoder").deviceCaps =
        V4L2_CAP_VIDEO_OUTPUT;
    std::vector<Listed> devices;
    ASSERT_EQ(ListDevices(system, devices), StatusOk);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].friendlyName, "USB Camera");
    EXPECT_EQ(system->OpenNow(), 0);
}

TEST(LinuxEnumeration, NoVideoDeviceIsSuccessWithoutAnEnumerator)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    std::vector<Listed> devices;
    EXPECT_EQ(ListDevices(system, devices), StatusFalse);

    // No video4linux class at all (the videodev module is not loaded).
    std::filesystem::remove_all(system->SysfsRoot() + "/class/video4linux");
    EXPECT_EQ(ListDevices(system, devices), StatusFalse);
    EXPECT_TRUE(devices.empty());
}

}  // namespace
}  // namespace velmora::linux_backend

// Zoom through V4L2's absolute zoom control; no roll.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "platform/linux/linux_capture_device.h"
#include "tests/linux/fake_linux_system.h"
#include "xu/xu_transport.h"

namespace velmora::linux_backend {
namespace {

using linux_test::FakeLinuxSystem;
using linux_test::UvcCamera;

TEST(LinuxCameraControl, ZoomComesFromTheAbsoluteZoomControlAndRollIsNotOffered)
{
    auto system = std::make_shared<FakeLinuxSystem>();
    auto& node = system->AddUvcCamera(0, "1-1", 0xABCD, 0xEF01, UvcCamera(0xABCD, 0xEF01, {}), "USB Camera");
    node.zoom = 70000;  // beyond 16 bits: the caller sees the low 16
    node.zoomMinimum = 100;
    node.zoomMaximum = 70000;
    node.zoomStep = 10;
    LinuxCaptureDevice device(system, *ReadVideoNode(*system, "video0"));

    std::int16_t value = 0, minimum = 0, maximum = 0, step = 0;
    ASSERT_EQ(GetCameraZoom(&device, value, minimum, maximum, step), StatusOk);
    EXPECT_EQ(value, static_cast<std::int16_t>(70000 & 0xFFFF));
    EXPECT_EQ(minimum, 100);
    EXPECT_EQ(maximum, static_cast<std::int16_t>(70000 & 0xFFFF));
    EXPECT_EQ(step, 10);

    EXPECT_EQ(SetCameraZoom(&device, 250), StatusOk);
    EXPECT_EQ(node.zoom, 250);
    EXPECT_EQ(SetCameraZoom(&device, 5), StatusGenFailure);  // ERANGE: out of the control's range
    EXPECT_EQ(SetCameraRoll(&device, 1), StatusNotImpl);

    // A camera without a zoom control (EINVAL for the control id).
    node.hasZoom = false;
    value = 7;
    EXPECT_EQ(GetCameraZoom(&device, value, minimum, maximum, step), StatusInvalidArg);
    EXPECT_EQ(value, 7);

    // No permission to open the node: the camera control cannot be had.
    node.openError = EACCES;
    EXPECT_EQ(SetCameraZoom(&device, 250), StatusAccessDenied);
    EXPECT_EQ(system->OpenNow(), 0);
    EXPECT_EQ(system->Opens(), system->Closes());
}

}  // namespace
}  // namespace velmora::linux_backend

// velmoractl list and --device: the window's labels and order, selection by index and by path.
#include <QJsonArray>

#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

class CtlDevicesTest : public VelmoractlTest {};

TEST_F(CtlDevicesTest, ListWithoutDevicesSaysSoAndSucceeds)
{
    const CtlResult result = Run("", {"list"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "no capture device\n");
    EXPECT_TRUE(Run("", {"--json", "list"}).Json()["devices"].toArray().isEmpty());
}

TEST_F(CtlDevicesTest, ListShowsOneCameraWithTheWindowsLabel)
{
    const CtlResult result =
        Run("[camera]\nname = USB Camera\npath = \\\\?\\usb#vid_abcd&pid_ef01&mi_00#6&1&0&0000#{x}\\global\n",
            {"list"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "0  USB Camera    VID_ABCD&PID_EF01\n");
}

TEST_F(CtlDevicesTest, ListOfTwelveCamerasShowsTheTenTheTableHolds)
{
    std::string config;
    for (int i = 1; i <= 12; ++i) config += "[camera]\nname = Camera " + std::to_string(i) + "\n";
    const CtlResult result = Run(config, {"--json", "list"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const QJsonArray devices = result.Json()["devices"].toArray();
    ASSERT_EQ(devices.size(), 10);
    for (int i = 0; i < 10; ++i) {
        const QJsonObject device = devices[i].toObject();
        EXPECT_EQ(device["index"].toInt(), i);
        const QString product = QString::number(i + 1, 16).toUpper().rightJustified(2, '0');
        EXPECT_EQ(device["label"].toString(),
                  QString("Camera %1    VID_ABCD&PID_EF%2").arg(i + 1).arg(product));
    }
}

// Two cameras of one model differ by id; --device takes the id, in any letter case.
TEST_F(CtlDevicesTest, EachDeviceHasAnIdThatSelectsIt)
{
    const std::string twins =
        "[camera]\nname = A\npath = usb#vid_abcd&pid_ef01#1-1\n"
        "[camera]\nname = B\npath = usb#vid_abcd&pid_ef01#1-2\n";
    const QJsonArray devices = Run(twins, {"--json", "list"}).Json()["devices"].toArray();
    ASSERT_EQ(devices.size(), 2);
    const QString second = devices[1].toObject()["id"].toString();
    EXPECT_TRUE(second.startsWith("abcd-ef01-")) << second.toStdString();
    EXPECT_NE(devices[0].toObject()["id"].toString(), second);
    EXPECT_EQ(Run(twins, {"--json", "--device", second.toUpper(), "zoom"}).Json()["label"].toString(),
              "B    VID_ABCD&PID_EF01");
}

TEST_F(CtlDevicesTest, IndexesCountListedDevicesOnly)
{
    // The second camera does not bind: the window skips it, and so does the index.
    const std::string config = Camera() + Camera("fail_bind = true") + Camera();
    const CtlResult result = Run(config, {"list"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "0  USB Camera    VID_ABCD&PID_EF01\n1  USB Camera    VID_ABCD&PID_EF03\n");
    EXPECT_EQ(Run(config, {"--json", "--device", "1", "zoom"}).Json()["label"].toString(),
              "USB Camera    VID_ABCD&PID_EF03");

    // Nor does one whose properties cannot be read once enumerated.
    const std::string unreadable = Camera() + Camera("fail_storage_at_fill = true") + Camera();
    EXPECT_EQ(Run(unreadable, {"list"}).out,
              "0  USB Camera    VID_ABCD&PID_EF01\n1  USB Camera    VID_ABCD&PID_EF03\n");
}

TEST_F(CtlDevicesTest, DeviceIsChosenByIndexOrByPathOrNode)
{
    const std::string config =
        "[camera]\nname = First\npath = usb#vid_1111&pid_0001#/dev/video1\n"
        "[camera]\nname = Second\npath = usb#vid_2222&pid_0002#/dev/video10\n";
    EXPECT_EQ(Run(config, {"--json", "--device", "1", "zoom"}).Json()["label"].toString(),
              "Second    VID_2222&PID_0002");
    // The node /dev/video1 is not a prefix match of /dev/video10.
    EXPECT_EQ(Run(config, {"--json", "--device", "/dev/video1", "zoom"}).Json()["device"].toInt(), 0);
    EXPECT_EQ(Run(config, {"--json", "--device", "/dev/video10", "zoom"}).Json()["device"].toInt(), 1);
    EXPECT_EQ(Run(config, {"--json", "--device", "VID_2222&PID_0002", "zoom"}).Json()["device"].toInt(), 1);
    EXPECT_EQ(Run(config, {"--json", "zoom"}).Json()["device"].toInt(), 0);
}

TEST_F(CtlDevicesTest, AnAmbiguousPathIsABadArgument)
{
    const CtlResult result = Run(Camera() + Camera(), {"--device", "usb", "zoom"});
    EXPECT_EQ(result.exitCode, 2);
    ASSERT_EQ(result.ErrLines().size(), 1u);
    EXPECT_NE(result.err.find("more than one device"), std::string::npos) << result.err;
}

TEST_F(CtlDevicesTest, AnUnknownBackendIsABadArgument)
{
    const CtlResult result = RunBare({"--backend", "vhs", "list"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("vhs"), std::string::npos);
}

}  // namespace
}  // namespace velmoractl_test

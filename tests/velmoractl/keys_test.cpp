// velmoractl key: the window's packets for every key, press and release apart.
#include <QFile>
#include <QJsonArray>

#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

struct KeyCase {
    const char* name;
    const char* objectName;
    unsigned press;
    int release;  // -1: the release sends nothing
};

constexpr KeyCase kKeys[] = {
    {"live", "NearButton", 0x01, -1},
    {"normal", "FarButton", 0x02, -1},
    {"zoom-in", "Zoom_inButton", 0x03, 0x16},
    {"focus-in", "Focus_inButton", 0x04, 0x16},
    {"menu", "MENUButton", 0x05, -1},
    {"focus-out", "Focus_outButton", 0x06, 0x16},
    {"zoom-out", "Zoom_outButton", 0x07, 0x16},
    {"ae", "AEButton", 0x08, -1},
    {"awb", "AWBButton", 0x09, -1},
    {"lock1", "lock1Button", 0x10, 0x16},
    {"lock2", "lock2Button", 0x11, 0x16},
    {"lock3", "lock3Button", 0x12, 0x16},
};

class CtlKeyTest : public VelmoractlTest {};

TEST_F(CtlKeyTest, MenuClickPutsTheMenuPacketOnTheTrace)
{
    const CtlResult result = RunBare({"--backend", "sim", "--trace", "key", "menu"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("26 16 00 00 00 01 00 00 00 00 05 BD"), std::string::npos) << result.err;
    EXPECT_EQ(result.TracedWrites(), (std::vector<std::string>{"26 16 00 00 00 01 00 00 00 00 05 BD"}));
}

TEST_F(CtlKeyTest, EveryKeyClickSendsItsPressCodeThenItsReleaseCodeOrNothing)
{
    const std::string config = Camera();
    for (const KeyCase& key : kKeys) {
        SCOPED_TRACE(key.name);
        const CtlResult result = Run(config, {"--trace", "key", key.name});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        std::vector<std::string> expected{KeyPacket(key.press)};
        if (key.release >= 0) expected.push_back(KeyPacket(static_cast<unsigned>(key.release)));
        EXPECT_EQ(result.TracedWrites(), expected);
        EXPECT_TRUE(result.TraceLines("GET").empty());
        EXPECT_TRUE(result.MessageLines().empty()) << result.err;
    }
}

TEST_F(CtlKeyTest, PressAndReleaseGoOutSeparately)
{
    const std::string config = Camera();
    CtlResult press = Run(config, {"--trace", "key", "zoom-in", "press"});
    EXPECT_EQ(press.exitCode, 0);
    EXPECT_EQ(press.TracedWrites(), std::vector<std::string>{KeyPacket(0x03)});

    CtlResult release = Run(config, {"--trace", "key", "zoom-in", "release"});
    EXPECT_EQ(release.exitCode, 0);
    EXPECT_EQ(release.TracedWrites(), std::vector<std::string>{KeyPacket(0x16)});

    // A release without a write sends nothing, says so, and succeeds.
    CtlResult silent = Run(config, {"--trace", "key", "ae", "release"});
    EXPECT_EQ(silent.exitCode, 0);
    EXPECT_TRUE(silent.TraceLines("LEN").empty());
    EXPECT_TRUE(silent.TracedWrites().empty());
    EXPECT_NE(silent.out.find("sends nothing"), std::string::npos) << silent.out;
}

TEST_F(CtlKeyTest, ButtonObjectNamesWorkInAnyCase)
{
    const std::string config = Camera();
    const CtlResult exact = Run(config, {"--trace", "key", "lock1Button", "press"});
    EXPECT_EQ(exact.TracedWrites(), std::vector<std::string>{KeyPacket(0x10)});
    const CtlResult lower = Run(config, {"--trace", "key", "menubutton", "press"});
    EXPECT_EQ(lower.TracedWrites(), std::vector<std::string>{KeyPacket(0x05)});
}

TEST_F(CtlKeyTest, ThePacketReachesTheSimulatedCamera)
{
    const std::string trace = m_folder.filePath("camera.trace").toStdString();
    const CtlResult result = Run("[sim]\ntrace = " + trace + "\n" + Camera(), {"key", "lock2"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    QFile file(QString::fromStdString(trace));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string seen = file.readAll().toStdString();
    const auto press = seen.find(KeyPacket(0x11));
    const auto release = seen.find(KeyPacket(0x16));
    EXPECT_NE(press, std::string::npos) << seen;
    EXPECT_NE(release, std::string::npos) << seen;
    EXPECT_LT(press, release);
}

TEST_F(CtlKeyTest, JsonNamesTheKeyAndEachEvent)
{
    const CtlResult result = Run(Camera(), {"--json", "key", "awb"});
    EXPECT_EQ(result.exitCode, 0);
    const QJsonObject json = result.Json();
    EXPECT_EQ(json["key"].toString(), "AWBButton");
    EXPECT_EQ(json["caption"].toString(), QString::fromUtf8("白平衡"));
    const QJsonArray events = json["events"].toArray();
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].toObject()["data"].toInt(), 0x09);
    EXPECT_TRUE(events[0].toObject()["sent"].toBool());
    EXPECT_FALSE(events[1].toObject()["sent"].toBool());
}

TEST_F(CtlKeyTest, AFailedPressStillSendsTheReleaseAsTheWindowDoes)
{
    // The first data request fails; the release is the second and goes through.
    const CtlResult result = Run(Camera("fail_piece = 1"), {"--trace", "key", "focus-in"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(result.TraceLines("SET").size(), 2u);
    ASSERT_EQ(result.MessageLines().size(), 1u) << result.err;
    EXPECT_NE(result.MessageLines()[0].find("press"), std::string::npos);
}

}  // namespace
}  // namespace velmoractl_test

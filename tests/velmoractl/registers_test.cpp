// velmoractl read, write, read-string, write-string, status and zoom against the simulated firmware.
#include <QJsonArray>

#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

class CtlRegisterTest : public VelmoractlTest {};

TEST_F(CtlRegisterTest, ReadAnswersTheRegisterInDecimalAndHexadecimal)
{
    const CtlResult result = Run(Camera("register = 0x1234 0xCAFEBABE"), {"--trace", "read", "0x1234"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("0xCAFEBABE (3405691582)"), std::string::npos) << result.out;
    // Request: command 0x80 (0 with the read bit), param 0.
    EXPECT_EQ(result.TracedWrites(), std::vector<std::string>{Packet(0x80, 0x1234, 0, 0)});
    EXPECT_EQ(result.TraceLines("GET").size(), 1u);
}

TEST_F(CtlRegisterTest, WideAddressParamAndDataGoOutTruncatedWithAWarning)
{
    const CtlResult result = Run(Camera(), {"--trace", "write", "0x100000001", "0x1FFFFFFFE", "--param",
                                            "0x101", "--command", "0x80", "--raw-command"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // Command 0x80 unchanged, address 1, param 1, data 0xFFFFFFFE.
    EXPECT_EQ(result.TracedWrites(), std::vector<std::string>{Packet(0x80, 1, 1, 0xFFFFFFFE)});
    const std::vector<std::string> messages = result.MessageLines();
    ASSERT_EQ(messages.size(), 3u) << result.err;
    EXPECT_NE(messages[0].find("address"), std::string::npos);
    EXPECT_NE(messages[1].find("param"), std::string::npos);
    EXPECT_NE(messages[2].find("data"), std::string::npos);
}

TEST_F(CtlRegisterTest, ReadCommandsKeepOrGainTheReadBit)
{
    const CtlResult high = Run(Camera(), {"--trace", "read", "376", "--param", "1", "--command", "0x80"});
    EXPECT_EQ(high.TracedWrites(), std::vector<std::string>{"26 80 00 00 01 78 01 00 00 00 00 DF"});
    const CtlResult text = Run(Camera(), {"--trace", "read", "228", "--command", "0x20"});
    EXPECT_EQ(text.TracedWrites(), std::vector<std::string>{"26 A0 00 00 00 E4 00 00 00 00 00 55"});
}

TEST_F(CtlRegisterTest, AddressAtTheTopOf64BitsIsAcceptedAndOneMoreIsNot)
{
    const CtlResult top = Run(Camera(), {"read", "0xFFFFFFFFFFFFFFFF"});
    EXPECT_EQ(top.exitCode, 0) << top.err;
    const CtlResult over = Run(Camera(), {"read", "18446744073709551616"});
    EXPECT_EQ(over.exitCode, 2);
    EXPECT_NE(over.err.find("out of range"), std::string::npos) << over.err;
}

TEST_F(CtlRegisterTest, WriteStringSendsStartCharactersAndEnd)
{
    const CtlResult result = Run(Camera(), {"--trace", "write-string", "AB"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.TracedWrites(), (std::vector<std::string>{
                                         "26 20 00 00 00 E4 00 00 00 00 00 D5",
                                         Packet(0x20, 229, 0, 0x41),
                                         Packet(0x20, 229, 0, 0x42),
                                         Packet(0x20, 230, 0, 2),
                                     }));
}

TEST_F(CtlRegisterTest, WriteStringWarnsAboutCharactersBeyondLatin1)
{
    const CtlResult result = Run(Camera(), {"--trace", "write-string", "é直"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> writes = result.TracedWrites();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[1], Packet(0x20, 229, 0, 0xFFFFFFE9));  // U+00E9 widened as a signed byte
    EXPECT_EQ(writes[2], Packet(0x20, 229, 0, 0x3F));        // '?'
    ASSERT_EQ(result.MessageLines().size(), 1u);
    EXPECT_NE(result.MessageLines()[0].find("warning"), std::string::npos);
}

TEST_F(CtlRegisterTest, ReadStringPrintsTheCamerasText)
{
    const CtlResult result = Run(Camera("string = Studio A"), {"--json", "read-string"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.Json()["text"].toString(), "Studio A");

    const CtlResult empty = Run(Camera(), {"read-string"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "\n");
}

TEST_F(CtlRegisterTest, AnAbsurdStringLengthIsRefusedWithItsCause)
{
    const CtlResult result = Run(Camera("string_length = 0xFFFFFFFF"), {"--trace", "read-string"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(result.TraceLines("GET").size(), 1u);  // only the length was read
    ASSERT_EQ(result.MessageLines().size(), 1u);
    EXPECT_NE(result.MessageLines()[0].find("length above 4096"), std::string::npos) << result.err;
}

TEST_F(CtlRegisterTest, StatusListsTheTwentyFourRegistersWithTheirValues)
{
    const CtlResult result =
        Run(Camera("status = 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 0xFFFFFFFF"),
            {"--json", "status"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const QJsonArray registers = result.Json()["registers"].toArray();
    ASSERT_EQ(registers.size(), 24);
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(registers[i].toObject()["address"].toInt(), 376 + i);
        EXPECT_EQ(registers[i].toObject()["status"].toString(), "S_OK");
    }
    EXPECT_EQ(registers[0].toObject()["value"].toDouble(), 1.0);
    EXPECT_EQ(registers[23].toObject()["value"].toDouble(), 4294967295.0);

    const CtlResult text = Run(Camera("status = 7"), {"--trace", "status"});
    EXPECT_EQ(text.TraceLines("SET").size(), 24u);
    EXPECT_NE(text.out.find("0x00000178 (376) = 0x00000007 (7)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("0x0000018F (399) = 0x00000000 (0)"), std::string::npos) << text.out;
}

TEST_F(CtlRegisterTest, ZoomShowsValueAndRange)
{
    const CtlResult result = Run(Camera("zoom = 150 100 400 10"), {"zoom"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "zoom 150 (minimum 100, maximum 400, step 10)\n");
    const QJsonObject json = Run(Camera("zoom = 150 100 400 10"), {"--json", "zoom"}).Json();
    EXPECT_EQ(json["value"].toInt(), 150);
    EXPECT_EQ(json["minimum"].toInt(), 100);
    EXPECT_EQ(json["maximum"].toInt(), 400);
    EXPECT_EQ(json["step"].toInt(), 10);
    EXPECT_TRUE(json["fitsWindow"].toBool());
}

// The window keeps 16 bits of each; a person and a script are shown the camera's own values.
TEST_F(CtlRegisterTest, ZoomBeyondSixteenBitsShowsTheRealValuesAndWhatTheWindowSees)
{
    const std::string config = Camera("zoom = 65535 -70000 70000 1");
    const CtlResult result = Run(config, {"zoom"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "zoom 65535 (minimum -70000, maximum 70000, step 1)\n"
              "the window keeps 16 bits: value 65535 reads as -1, minimum -70000 as -4464, maximum 70000 as "
              "4464\n");
    const QJsonObject json = Run(config, {"--json", "zoom"}).Json();
    EXPECT_EQ(json["value"].toInt(), 65535);
    EXPECT_EQ(json["minimum"].toInt(), -70000);
    EXPECT_EQ(json["maximum"].toInt(), 70000);
    EXPECT_FALSE(json["fitsWindow"].toBool());
    const QJsonObject window = json["window"].toObject();
    EXPECT_EQ(window["value"].toInt(), -1);
    EXPECT_EQ(window["minimum"].toInt(), -4464);
    EXPECT_EQ(window["maximum"].toInt(), 4464);
    EXPECT_EQ(window["step"].toInt(), 1);
}

}  // namespace
}  // namespace velmoractl_test

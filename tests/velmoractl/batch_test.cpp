// velmoractl batch: commands one a line against one device, checked as a whole before anything is sent.
#include <QJsonArray>
#include <QJsonDocument>
#include <sstream>

#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

class CtlBatchTest : public VelmoractlTest {
protected:
    static bool Has(const std::string& text, const std::string& piece)
    {
        return text.find(piece) != std::string::npos;
    }
};

TEST_F(CtlBatchTest, EveryCommandKindRunsInOrderOnOneDevice)
{
    const std::string script = WriteFile("rig.txt",
                                         "# the rig's checks\n"
                                         "key menu\n"
                                         "\n"
                                         "key zoom-in press   # held\n"
                                         "write 0x300 0x12345678\n"
                                         "write 0x301 5 --command 0x80 --raw-command\n"
                                         "read 0x300\n"
                                         "read 0x178 --param 1\n"
                                         "status\n"
                                         "zoom\n"
                                         "write-string \"Studio A\"\n"
                                         "read-string\n"
                                         "list\n"
                                         "xu-info\n");
    const CtlResult result = Run(Camera("status = 7"), {"--trace", "batch", QString::fromStdString(script)});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.MessageLines().empty()) << result.err;
    const std::vector<std::string> writes = result.TracedWrites();
    ASSERT_GE(writes.size(), 4u);
    EXPECT_EQ(writes[0], KeyPacket(0x05));
    EXPECT_EQ(writes[1], KeyPacket(0x03));
    EXPECT_EQ(writes[2], Packet(0x00, 0x300, 0, 0x12345678));
    EXPECT_EQ(writes[3], Packet(0x80, 0x301, 0, 5));
    for (const char* line : {"MENUButton (主菜单) press: wrote 0x05", "register 0x00000300 = 0x12345678",
                             "0x00000178 (376) = 0x00000007", "zoom 100 (minimum 100", "wrote 8 character(s)",
                             "\nStudio A\n", "0  USB Camera    VID_ABCD&PID_EF01", "identity from "}) {
        EXPECT_TRUE(Has(result.out, line)) << line << "\n" << result.out;
    }
    // The commands ran in the script's order.
    EXPECT_LT(result.out.find("= 0x12345678"), result.out.find("zoom 100"));
    EXPECT_LT(result.out.find("wrote 8 character(s)"), result.out.find("\nStudio A\n"));
}

TEST_F(CtlBatchTest, BadLinesAreNamedAndNothingIsSent)
{
    const std::string input = std::string("key menu\n") +
                              "key nosuch\n"
                              "read zz\n"
                              "write 1\n"
                              "watch\n"
                              "--device 1 key menu\n"
                              "write-string 'open\n"
                              "status --param 1\n"
                              "key menu\n" +
                              std::string("write-string \\\0\n", 15);
    const CtlResult result = Run(Camera(), {"--trace", "batch", "-"}, input);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.find("LEN ") == std::string::npos && result.TracedWrites().empty()) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
    const std::vector<std::string> lines = result.MessageLines();
    const std::vector<std::string> expected = {
        "velmoractl: line 2: unknown key 'nosuch'",
        "velmoractl: line 3: ADDR: 'zz' is not a number",
        "velmoractl: line 4: write needs more arguments",
        "velmoractl: line 5: watch cannot run in a batch",
        "velmoractl: line 6: --device applies to the whole batch",
        "velmoractl: line 7: no closing '",
        "velmoractl: line 8: --param applies to read and write only",
        "velmoractl: line 10: a NUL byte",
        "velmoractl: bad line(s) 2, 3, 4, 5, 6, 7, 8, 10 in standard input; nothing was run",
    };
    ASSERT_EQ(lines.size(), expected.size()) << result.err;
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i].rfind(expected[i], 0), 0u) << lines[i];
}

TEST_F(CtlBatchTest, FirstFailureStopsUnlessKeepGoing)
{
    // Line 2 fails as unsupported (6), line 3's write as a failed request (1).
    const std::string config = Camera("fail_camera_control = true\nfail_piece = 2");
    const std::string input = "key menu\nzoom\nkey ae\nkey awb\n";

    const CtlResult stopped = Run(config, {"--trace", "batch"}, input);
    EXPECT_EQ(stopped.exitCode, 6);
    EXPECT_EQ(stopped.TracedWrites(), std::vector<std::string>{KeyPacket(0x05)});
    const std::vector<std::string> messages = stopped.MessageLines();
    ASSERT_EQ(messages.size(), 2u) << stopped.err;
    EXPECT_EQ(messages[0].rfind(
                  "velmoractl: line 2: device 0 (USB Camera    VID_ABCD&PID_EF01): reading the zoom", 0),
              0u)
        << messages[0];
    EXPECT_EQ(messages[1], "velmoractl: batch stopped at line 2; 2 later command(s) not run");

    const CtlResult kept = Run(config, {"--trace", "--keep-going", "batch"}, input);
    EXPECT_EQ(kept.exitCode, 6) << kept.err;
    EXPECT_EQ(kept.TracedWrites().back(), KeyPacket(0x09));
    EXPECT_TRUE(Has(kept.err, "velmoractl: line 3: device 0")) << kept.err;
    EXPECT_TRUE(Has(kept.err, "velmoractl: 2 of 4 command(s) failed (line 2, 3)")) << kept.err;

    // --keep-going belongs to batch.
    EXPECT_EQ(Run(config, {"--keep-going", "key", "menu"}).exitCode, 2);
}

// A key pressed and not yet released when the batch ends with a failure is released: at once when
// the failure stops it, at its end with --keep-going.
TEST_F(CtlBatchTest, AFailedBatchReleasesTheKeysItLeftPressed)
{
    const std::string config = Camera("fail_camera_control = true");
    const CtlResult stopped =
        Run(config, {"--trace", "batch"}, "key zoom-in press\nzoom\nkey zoom-in release\n");
    EXPECT_EQ(stopped.exitCode, 6);
    EXPECT_EQ(stopped.TracedWrites(), (std::vector<std::string>{KeyPacket(0x03), KeyPacket(0x16)}));
    EXPECT_TRUE(Has(stopped.out, "released Zoom_inButton (放大), left pressed: wrote 0x16 to register 0x01"))
        << stopped.out;

    const CtlResult kept =
        Run(config, {"--trace", "--json", "--keep-going", "batch"}, "key lock2 press\nzoom\nkey menu\n");
    EXPECT_EQ(kept.TracedWrites(),
              (std::vector<std::string>{KeyPacket(0x11), KeyPacket(0x05), KeyPacket(0x16)}));
    const QByteArray closing = QByteArray::fromStdString(kept.out).trimmed().split('\n').last();
    EXPECT_EQ(QJsonDocument::fromJson(closing).object()["released"].toArray(),
              (QJsonArray{QJsonObject{{"key", "lock2Button"}, {"sent", true}, {"status", "S_OK"}}}))
        << kept.out;
}

TEST_F(CtlBatchTest, JsonLinesCarryTheirLineNumbers)
{
    const std::string input = "# first\nkey menu\n\nzoom\nread 0x178 --param 1\n";
    const CtlResult result =
        Run(Camera("fail_camera_control = true"), {"--json", "--keep-going", "batch"}, input);
    EXPECT_EQ(result.exitCode, 6);
    std::vector<QJsonObject> objects;
    std::istringstream out(result.out);
    for (std::string line; std::getline(out, line);) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        objects.push_back(document.object());
    }
    ASSERT_EQ(objects.size(), 4u) << result.out;
    const int lines[] = {2, 4, 5};
    const char* commands[] = {"key", "zoom", "read"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(objects[i]["line"].toInt(), lines[i]);
        EXPECT_EQ(objects[i]["command"].toString().toStdString(), commands[i]);
        EXPECT_EQ(objects[i]["ok"].toBool(), i != 1);
    }
    EXPECT_EQ(objects[1]["error"].toObject()["cause"].toString(), "unsupported");
    EXPECT_EQ(objects[3]["command"].toString(), "batch");
    EXPECT_EQ(objects[3]["exit"].toInt(), 6);
    EXPECT_EQ(objects[3]["failed"].toArray(), QJsonArray{4});
}

TEST_F(CtlBatchTest, StandardInputAndFileGiveTheSameRun)
{
    const std::string script = "write 0x300 7\nread 0x300\n";
    const std::string path = WriteFile("script.txt", script);
    const CtlResult fromFile = Run(Camera(), {"batch", QString::fromStdString(path)});
    const CtlResult fromDash = Run(Camera(), {"batch", "-"}, script);
    const CtlResult fromNothing = Run(Camera(), {"batch"}, script);
    EXPECT_EQ(fromFile.exitCode, 0) << fromFile.err;
    EXPECT_TRUE(Has(fromFile.out, "register 0x00000300 = 0x00000007")) << fromFile.out;
    EXPECT_EQ(fromDash.out, fromFile.out);
    EXPECT_EQ(fromNothing.out, fromFile.out);
    const CtlResult missing = Run(Camera(), {"batch", "no-such-file.txt"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(Has(missing.err, "cannot read no-such-file.txt")) << missing.err;
}

TEST_F(CtlBatchTest, DeviceVanishingMidwayFailsTheRestByName)
{
    // The camera is gone after two data requests: the second key's write.
    const std::string config = Camera("vanish_after = 2");
    const std::string input = "key menu\nkey ae\nkey awb\nread 1\nzoom\nlist\n";

    const CtlResult kept = Run(config, {"--trace", "--keep-going", "batch"}, input);
    EXPECT_EQ(kept.exitCode, 4) << kept.err;
    EXPECT_EQ(kept.TracedWrites(), (std::vector<std::string>{KeyPacket(0x05), KeyPacket(0x08)}));
    EXPECT_TRUE(Has(kept.err,
                    "line 3: device 0 (USB Camera    VID_ABCD&PID_EF01): key AWBButton press (data "
                    "0x09): the device is no longer connected"))
        << kept.err;
    // Nothing more reaches the wire after the line that found the device gone.
    const std::string afterGone = kept.err.substr(kept.err.find("line 3: "));
    EXPECT_FALSE(Has(afterGone, "LEN ")) << kept.err;
    EXPECT_TRUE(Has(kept.err,
                    "line 4: device 0 (USB Camera    VID_ABCD&PID_EF01): read: not sent: the device "
                    "vanished at line 3"))
        << kept.err;
    EXPECT_TRUE(Has(kept.err, "line 5: device 0")) << kept.err;
    EXPECT_TRUE(Has(kept.err, "3 of 6 command(s) failed (line 3, 4, 5)")) << kept.err;

    // Lines 4 and 5 were never sent: they did not run.
    const CtlResult json = Run(config, {"--json", "--keep-going", "batch"}, input);
    const QByteArray closing = QByteArray::fromStdString(json.out).trimmed().split('\n').last();
    EXPECT_EQ(QJsonDocument::fromJson(closing).object()["ran"].toInt(), 4) << json.out;

    const CtlResult stopped = Run(config, {"batch"}, input);
    EXPECT_EQ(stopped.exitCode, 4);
    EXPECT_TRUE(Has(stopped.err, "batch stopped at line 3; 3 later command(s) not run")) << stopped.err;
}

// Notepad's UTF-8 mark is skipped; UTF-16 (PowerShell 5's '>', with or without its mark) is refused
// as a whole, by name, with nothing sent.
TEST_F(CtlBatchTest, AUtf8MarkIsSkippedAndUtf16IsRefusedByName)
{
    const CtlResult marked = Run(Camera(), {"--trace", "batch"}, "\xEF\xBB\xBFkey menu\r\n");
    EXPECT_EQ(marked.exitCode, 0) << marked.err;
    EXPECT_EQ(marked.TracedWrites(), std::vector<std::string>{KeyPacket(0x05)});

    const std::string utf16le = std::string("k\0e\0y\0 \0m\0e\0n\0u\0\r\0\n\0", 20);
    const std::pair<std::string, const char*> refused[] = {{"\xFF\xFE" + utf16le, "UTF-16LE"},
                                                           {utf16le, "UTF-16LE"},
                                                           {std::string("\xFE\xFF\0k\0e\0y", 8), "UTF-16BE"}};
    for (const auto& [input, encoding] : refused) {
        const CtlResult result = Run(Camera(), {"--trace", "batch"}, input);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.TraceLines("LEN").empty());
        ASSERT_EQ(result.MessageLines().size(), 1u) << result.err;
        EXPECT_TRUE(Has(result.MessageLines()[0], encoding)) << result.err;
    }
}

}  // namespace
}  // namespace velmoractl_test

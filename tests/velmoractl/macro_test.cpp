// Timed keys and macros from velmoractl: nudge, wait and macro, alone and in a batch.
#include <QFile>
#include <cstdlib>

#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

class CtlMacroTest : public VelmoractlTest {
protected:
    static bool Has(const std::string& text, const std::string& piece)
    {
        return text.find(piece) != std::string::npos;
    }
    QStringList Macros(const std::string& text)
    {
        return {"--macros", QString::fromStdString(WriteFile("macros.txt", text))};
    }
};

// The release goes out the nudge's time after the press, on the trace's own clock.
TEST_F(CtlMacroTest, NudgeReleasesItsTimeAfterThePress)
{
    const std::string trace = m_folder.filePath("trace.txt").toStdString();
    qputenv("VELMORA_SIM_TRACE_TIME", "1");
    const CtlResult result =
        Run("[sim]\ntrace = " + trace + "\n" + Camera(), {"key", "zoom-in", "nudge", "300"});
    qunsetenv("VELMORA_SIM_TRACE_TIME");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    QFile file(QString::fromStdString(trace));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::vector<std::pair<std::string, double>> writes;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.startsWith("SET ")) continue;
        const int data = line.indexOf("data=") + 5;
        const int time = line.indexOf(" t=");
        writes.emplace_back(line.mid(data, time - data).toStdString(), line.mid(time + 3).toDouble());
    }
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].first, KeyPacket(0x03));
    EXPECT_EQ(writes[1].first, KeyPacket(0x16));
    const double held = writes[1].second - writes[0].second;
    EXPECT_GE(held, 0.300);
    EXPECT_LT(held, 2.0);  // milliseconds, not a unit or a hold limit away

    for (const QStringList& bad : {QStringList{"key", "zoom-in", "nudge", "0"},
                                   {"key", "zoom-in", "nudge", "10001"},
                                   {"key", "zoom-in", "nudge"},
                                   {"key", "menu", "click", "5"}}) {
        const CtlResult refused = Run(Camera(), QStringList{"--trace"} + bad);
        EXPECT_EQ(refused.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(refused.TracedWrites().empty()) << refused.err;
    }
}

// A batch runs nudge, wait and macro lines in order, one keypad across them: the macro's press
// first releases the key an earlier line left pressed.
TEST_F(CtlMacroTest, BatchRunsNudgeWaitAndMacroLines)
{
    const QStringList macros = Macros("[shot]\npress zoom-out\nwait 50\nrelease\nclick menu\n");
    const CtlResult result = Run(Camera(), QStringList{"--trace"} + macros + QStringList{"batch"},
                                 "key focus-in press\nmacro SHOT\nwait 20\nkey zoom-in nudge 30\n");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.TracedWrites(),
              (std::vector<std::string>{KeyPacket(0x04), KeyPacket(0x16), KeyPacket(0x07), KeyPacket(0x16),
                                        KeyPacket(0x05), KeyPacket(0x03), KeyPacket(0x16)}));

    // An unknown macro, a bad macros file, a bad time: named, and nothing is sent.
    const CtlResult unknown = Run(Camera(), QStringList{"--trace"} + macros + QStringList{"batch"},
                                  "key menu\nmacro wide\nwait 0\n");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.TracedWrites().empty()) << unknown.err;
    EXPECT_TRUE(Has(unknown.err, "line 2: no macro 'wide' in ")) << unknown.err;
    EXPECT_TRUE(Has(unknown.err, "line 3: wait 0: a time is 1 ms or more")) << unknown.err;

    const CtlResult badFile =
        Run(Camera(), QStringList{"--trace"} + Macros("[shot]\nclick zoom\n") + QStringList{"batch"},
            "key menu\nmacro shot\n");
    EXPECT_EQ(badFile.exitCode, 2);
    EXPECT_TRUE(badFile.TracedWrites().empty()) << badFile.err;
    EXPECT_TRUE(Has(badFile.err, "macros.txt: line 2: click zoom: unknown key 'zoom'")) << badFile.err;

    EXPECT_EQ(Run(Camera(), {"wait", "10"}).exitCode, 2);
}

}  // namespace
}  // namespace velmoractl_test

// velmoractl batch interrupted by a signal: the key it left pressed is released before it ends.
#include <signal.h>

#include <QProcess>

#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

TEST_F(VelmoractlTest, ASignalEndsABatchAfterReleasingTheKeyItLeftPressed)
{
    std::string script = "key zoom-in press\n";
    for (int i = 0; i < 2000; ++i) script += "read 0x300\n";
    QProcess process;
    process.setWorkingDirectory(m_folder.path());
    process.start(VELMORACTL_PATH, {"--backend", "sim", "--sim-config",
                                    QString::fromStdString(WriteFile("sim.conf", Camera())), "--trace",
                                    "batch", QString::fromStdString(WriteFile("script.txt", script))});
    // Once the press is on the trace nothing more is read from it: the batch soon waits on its full
    // standard error pipe, in the middle of the reads, and gets the signal there.
    CtlResult result;
    while (result.err.find(KeyPacket(0x03)) == std::string::npos && process.waitForReadyRead(10000))
        result.err += process.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    result.out = process.readAllStandardOutput().toStdString();
    result.err += process.readAllStandardError().toStdString();

    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    const std::vector<std::string> writes = result.TracedWrites();
    EXPECT_EQ(writes.front(), KeyPacket(0x03));
    EXPECT_LT(writes.size(), 2000u);
    EXPECT_EQ(writes.back(), KeyPacket(0x16));
    EXPECT_NE(result.out.find("released Zoom_inButton"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("velmoractl: batch interrupted by SIGINT"), std::string::npos) << result.err;
}

// A macro cut short in its wait after a press, alone or in a batch, puts the release on the trace
// once, and nothing after it: not the macro's later steps, not the batch's later lines.
TEST_F(VelmoractlTest, ASignalInAMacrosWaitReleasesItsKeyOnce)
{
    const QString macros = QString::fromStdString(
        WriteFile("macros.txt", "[hold]\npress zoom-out\nwait 8000\nrelease\nclick menu\n"));
    const QString batch = QString::fromStdString(WriteFile("script.txt", "macro hold\nkey menu\n"));
    for (const QStringList& command : {QStringList{"macro", "hold"}, QStringList{"batch", batch}}) {
        QProcess process;
        process.setWorkingDirectory(m_folder.path());
        process.start(VELMORACTL_PATH, QStringList{"--backend", "sim", "--sim-config",
                                                   QString::fromStdString(WriteFile("sim.conf", Camera())),
                                                   "--trace", "--macros", macros} +
                                           command);
        CtlResult result;
        while (result.err.find(KeyPacket(0x07)) == std::string::npos && process.waitForReadyRead(10000))
            result.err += process.readAllStandardError().toStdString();
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        ASSERT_TRUE(process.waitForFinished(10000));
        result.out = process.readAllStandardOutput().toStdString();
        result.err += process.readAllStandardError().toStdString();

        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit) << command.join(' ').toStdString();
        EXPECT_EQ(result.TracedWrites(), (std::vector<std::string>{KeyPacket(0x07), KeyPacket(0x16)}))
            << result.err;
        EXPECT_NE(result.err.find("macro hold interrupted by SIGTERM"), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace velmoractl_test

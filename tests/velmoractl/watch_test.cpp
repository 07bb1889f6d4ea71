// velmoractl watch: arrivals and removals of simulated cameras as they come, until a signal.
#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>

#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

constexpr char kCaptureClass[] = "65e8773d-8f56-11d0-a3b9-00a0c9223196";

class CtlWatchTest : public VelmoractlTest {
protected:
    void SetUp() override { ASSERT_TRUE(QDir(m_folder.path()).mkpath("plug")); }

    void Start(const QStringList& options)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("VELMORA_SIM_CONFIG");
        environment.insert("VELMORA_SIM_HOTPLUG_DIR", m_folder.filePath("plug"));
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(m_folder.path());
        const std::string config = WriteFile("sim.conf", Camera());
        m_process.start(VELMORACTL_PATH,
                        QStringList{"--backend", "sim", "--sim-config", QString::fromStdString(config)} +
                            options + QStringList{"watch"});
        ASSERT_TRUE(m_process.waitForStarted());
        ASSERT_TRUE(WaitFor(m_err, QProcess::StandardError, "watching")) << m_err;
    }

    // Reads the channel into text until it holds needle, for at most ten seconds.
    bool WaitFor(std::string& text, QProcess::ProcessChannel channel, const std::string& needle)
    {
        const QDeadlineTimer deadline(10000);
        while (text.find(needle) == std::string::npos && !deadline.hasExpired()) {
            m_process.setReadChannel(channel);
            m_process.waitForReadyRead(100);
            text += m_process.readAll().toStdString();
        }
        return text.find(needle) != std::string::npos;
    }

    int Stop(int signal)
    {
        ::kill(static_cast<pid_t>(m_process.processId()), signal);
        EXPECT_TRUE(m_process.waitForFinished(10000));
        m_out += m_process.readAllStandardOutput().toStdString();
        m_err += m_process.readAllStandardError().toStdString();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

    QProcess m_process;
    std::string m_out;
    std::string m_err;
};

TEST_F(CtlWatchTest, PrintsArrivalAndRemovalUntilInterrupted)
{
    Start({});
    WriteFile("plug/third.camera", "[camera]\nname = Third\n");
    ASSERT_TRUE(WaitFor(m_out, QProcess::StandardOutput, "\n")) << m_out;
    EXPECT_EQ(m_out.rfind("arrival  ", 0), 0u) << m_out;
    EXPECT_NE(m_out.find(kCaptureClass), std::string::npos) << m_out;

    ASSERT_TRUE(QFile::remove(m_folder.filePath("plug/third.camera")));
    ASSERT_TRUE(WaitFor(m_out, QProcess::StandardOutput, "removal  ")) << m_out;
    EXPECT_EQ(Stop(SIGINT), 0) << m_err;
}

TEST_F(CtlWatchTest, JsonGivesOneDocumentPerLineAndExitsZeroOnSigterm)
{
    Start({"--json"});
    WriteFile("plug/fourth.camera", "[camera]\nname = Fourth\n");
    ASSERT_TRUE(WaitFor(m_out, QProcess::StandardOutput, "\n")) << m_out;
    EXPECT_EQ(Stop(SIGTERM), 0) << m_err;

    const QList<QByteArray> lines = QByteArray::fromStdString(m_out).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << m_out;
    const QJsonObject event = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(event["event"].toString(), "arrival");
    EXPECT_EQ(event["record"].toInt(), 5);
    EXPECT_TRUE(event["name"].toString().contains(kCaptureClass));
    const QJsonObject closing = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_EQ(closing["command"].toString(), "watch");
    EXPECT_EQ(closing["events"].toInt(), 1);
    EXPECT_TRUE(closing["ok"].toBool());
}

}  // namespace
}  // namespace velmoractl_test

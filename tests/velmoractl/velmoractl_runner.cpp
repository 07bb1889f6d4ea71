#include "tests/velmoractl/velmoractl_runner.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <cstdio>
#include <sstream>

namespace velmoractl_test {

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool IsTraceLine(const std::string& line)
{
    return line.rfind("SET ", 0) == 0 || line.rfind("GET ", 0) == 0 || line.rfind("LEN ", 0) == 0;
}

}  // namespace

std::vector<std::string> CtlResult::ErrLines() const
{
    return Lines(err);
}

std::vector<std::string> CtlResult::MessageLines() const
{
    std::vector<std::string> messages;
    for (const std::string& line : ErrLines()) {
        if (!IsTraceLine(line)) messages.push_back(line);
    }
    return messages;
}

std::vector<std::string> CtlResult::TraceLines(const std::string& kind) const
{
    std::vector<std::string> lines;
    for (const std::string& line : ErrLines()) {
        if (line.rfind(kind + " ", 0) == 0) lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> CtlResult::TracedWrites() const
{
    std::vector<std::string> writes;
    for (const std::string& line : TraceLines("SET")) {
        const auto at = line.find("data=");
        writes.push_back(at == std::string::npos ? std::string() : line.substr(at + 5));
    }
    return writes;
}

QJsonObject CtlResult::Json() const
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << "not one JSON document: " << out;
    EXPECT_TRUE(document.isObject());
    return document.object();
}

std::string Camera(const std::string& extra)
{
    return "[camera]\nname = USB Camera\n" + extra + "\n";
}

std::string Packet(unsigned command, unsigned address, unsigned param, unsigned data)
{
    const unsigned bytes[11] = {
        0x26,           command & 0xFF, address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF,
        address & 0xFF, param & 0xFF,   data >> 24,    (data >> 16) & 0xFF,    (data >> 8) & 0xFF,
        data & 0xFF};
    std::string text;
    unsigned sum = 0;
    char piece[4];
    for (unsigned byte : bytes) {
        sum += byte;
        std::snprintf(piece, sizeof piece, "%02X ", byte);
        text += piece;
    }
    std::snprintf(piece, sizeof piece, "%02X", 0xFFu - (sum & 0xFFu));
    return text + piece;
}

std::string KeyPacket(unsigned data)
{
    return Packet(0x16, 1, 0, data);
}

std::string VelmoractlTest::WriteFile(const std::string& name, const std::string& text)
{
    const QString path = m_folder.filePath(QString::fromStdString(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.data(), static_cast<qint64>(text.size()));
    return path.toStdString();
}

CtlResult VelmoractlTest::Run(const std::string& config, const QStringList& arguments,
                              const std::string& input)
{
    const std::string path = WriteFile("sim.conf", config);
    return RunBare(QStringList{"--backend", "sim", "--sim-config", QString::fromStdString(path)} + arguments,
                   input);
}

CtlResult VelmoractlTest::RunBare(const QStringList& arguments, const std::string& input)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"VELMORA_SIM_CONFIG", "VELMORA_SIM_TRACE", "VELMORA_BACKEND"}) {
        environment.remove(name);
    }
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_folder.path());
    process.start(QStringLiteral(VELMORACTL_PATH), arguments);
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    CtlResult result;
    if (!process.waitForFinished(30000)) {
        ADD_FAILURE() << "velmoractl did not finish: " << arguments.join(' ').toStdString();
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

}  // namespace velmoractl_test

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

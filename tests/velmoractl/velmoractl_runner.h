// Runs the real velmoractl executable as a child process against simulated cameras.
#pragma once

#include <gtest/gtest.h>

#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <string>
#include <vector>

namespace velmoractl_test {

struct CtlResult {
    int exitCode = -1;
    std::string out;
    std::string err;

    std::vector<std::string> ErrLines() const;
    // The error lines that are not trace lines.
    std::vector<std::string> MessageLines() const;
    // The bytes of every SET request on the --trace output, as "26 16 ... BD".
    std::vector<std::string> TracedWrites() const;
    // Every trace line of a given kind ("SET", "GET", "LEN").
    std::vector<std::string> TraceLines(const std::string& kind) const;
    QJsonObject Json() const;
};

// One simulated camera, as a configuration section.
std::string Camera(const std::string& extra = "");

// A request packet as the trace shows it: marker, command, address, param, data, checksum.
std::string Packet(unsigned command, unsigned address, unsigned param, unsigned data);
// The packet a control-key write with this data puts on the wire.
std::string KeyPacket(unsigned data);

class VelmoractlTest : public ::testing::Test {
protected:
    // A configuration file in the test's own folder, which is also the working directory.
    std::string WriteFile(const std::string& name, const std::string& text);

    // velmoractl --backend sim --sim-config <config> arguments..., in the test's folder, with input
    // on its standard input (then closed).
    CtlResult Run(const std::string& config, const QStringList& arguments, const std::string& input = {});
    // Without --backend and --sim-config.
    CtlResult RunBare(const QStringList& arguments, const std::string& input = {});

    QTemporaryDir m_folder;
};

}  // namespace velmoractl_test

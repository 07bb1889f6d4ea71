// velmoractl's help, and one JSON document on standard output for every command.
#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

class CtlOutputTest : public VelmoractlTest {};

TEST_F(CtlOutputTest, HelpListsEveryCommandAndExitStatus)
{
    const CtlResult result = RunBare({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* command : {"list", "key NAME", "read ADDR", "write ADDR DATA", "read-string",
                                "write-string TEXT", "status", "zoom", "watch", "xu-info", "--backend",
                                "--sim-config", "--device", "--trace", "--json", "Exit status"}) {
        EXPECT_NE(result.out.find(command), std::string::npos) << command;
    }
    EXPECT_TRUE(result.err.empty());
}

TEST_F(CtlOutputTest, CommandHelpHasExamplesAndNeedsNoDevice)
{
    for (const QStringList& arguments : {QStringList{"key", "--help"}, QStringList{"help", "key"}}) {
        const CtlResult result = Run("", arguments);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out.rfind("usage: velmoractl [OPTIONS] key NAME [press|release|click]", 0), 0u)
            << result.out;
        EXPECT_NE(result.out.find("velmoractl key zoom-in press"), std::string::npos);
        EXPECT_NE(result.out.find("lock3"), std::string::npos);
    }
    EXPECT_NE(Run("", {"read", "--help"}).out.find("velmoractl read 0x178 --param 1"), std::string::npos);
}

TEST_F(CtlOutputTest, EveryCommandPrintsOneJsonDocument)
{
    const std::string config = Camera("string = hi");
    const QList<QStringList> commands = {
        {"list"},        {"key", "menu"},       {"read", "1"}, {"write", "1", "2"},
        {"read-string"}, {"write-string", "x"}, {"status"},    {"zoom"},
        {"xu-info"},
    };
    for (const QStringList& command : commands) {
        SCOPED_TRACE(command.join(' ').toStdString());
        const CtlResult result = Run(config, QStringList{"--json"} + command);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        const QJsonObject json = result.Json();
        EXPECT_EQ(json["command"].toString(), command.front());
        EXPECT_TRUE(json["ok"].toBool());
        EXPECT_EQ(json["exit"].toInt(), 0);
    }
}

TEST_F(CtlOutputTest, OptionsMayFollowTheCommand)
{
    const CtlResult result = Run(Camera(), {"key", "menu", "--json", "--trace"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.Json()["key"].toString(), "MENUButton");
    EXPECT_EQ(result.TraceLines("SET").size(), 1u);
    // "--" ends the options: a text may start with a dash.
    const CtlResult text = Run(Camera(), {"--trace", "write-string", "--", "-x"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.TraceLines("SET").size(), 4u);
}

}  // namespace
}  // namespace velmoractl_test

#include "tools/velmoractl.h"

#include <cstdio>
#include <memory>

#include <QDir>
#include <QFileInfo>

#include "config/cfg_file.h"
#include "config/xu_identity.h"
#include "platform/tracing_device.h"

#include "tools/cli_options.h"
#include "tools/cli_report.h"
#include "tools/cli_session.h"
#include "tools/commands/command_table.h"
#include "tools/platform_scope.h"

namespace velmoractl {

namespace {

int PrintHelp(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    return 0;
}

// Checks operand counts and command-specific options; returns the problem, or empty.
std::string CheckArguments(const CommandSpec& command, const Options& options)
{
    const int count = static_cast<int>(options.operands.size());
    if (count < command.minOperands) return std::string(command.name) + " needs more arguments";
    if (count > command.maxOperands)
        return "unexpected argument '" + options.operands[command.maxOperands] + "'";
    if (!command.registerOptions && (options.param || options.commandByte || options.rawCommand)) {
        const char* option = options.param ? "--param" : options.commandByte ? "--command" : "--raw-command";
        return std::string(option) + " applies to read and write only";
    }
    return {};
}

}  // namespace

int RunVelmoractl(const std::vector<std::string>& arguments)
{
    std::string error;
    const std::optional<Options> parsed = ParseCommandLine(arguments, error);
    if (!parsed) {
        bool json = false;
        for (const std::string& argument : arguments) json = json || argument == "--json";
        Report report("", json);
        report.Fail(UsageFailure(error + "; " + UsageLine(nullptr)));
        return report.Finish();
    }
    Options options = *parsed;
    if (options.command == "help") {
        options.help = true;
        options.command = options.operands.empty() ? "" : options.operands.front();
        options.operands.clear();
    }
    const CommandSpec* command = FindCommand(options.command);
    if (options.help) {
        if (command) return PrintHelp(CommandHelp(*command));
        if (options.command.empty()) return PrintHelp(GeneralHelp());
    }

    Report report(options.command, options.json);
    if (options.command.empty()) {
        report.Fail(UsageFailure("no command given; " + UsageLine(nullptr)));
        return report.Finish();
    }
    if (!command) {
        report.Fail(UsageFailure("unknown command '" + options.command + "'; " + UsageLine(nullptr)));
        return report.Finish();
    }
    if (const std::string problem = CheckArguments(*command, options); !problem.empty()) {
        report.Fail(UsageFailure(problem + "; " + UsageLine(command)));
        return report.Finish();
    }

    const std::shared_ptr<void> platform = EnterPlatform(error);
    if (!platform) {
        report.Fail(Failure{ExitCode::Failed, CauseName(ExitCode::Failed), error, std::nullopt});
        return report.Finish();
    }
    Session session;
    if (auto failure = session.Open(options)) {
        report.Fail(std::move(*failure));
        return report.Finish();
    }
    // The window's rule: CfgFile/Cfg.ini under the working directory, when it exists.
    const QString cfgFile = velmora::CfgFilePath(QDir::currentPath() + "/CfgFile");
    velmora::LoadUvcExtenConfig(cfgFile, velmora::g_xuIdentity);

    CommandContext context{options, session, report, nullptr, cfgFile};
    std::unique_ptr<velmora::TracingCaptureDevice> traced;
    if (command->needsDevice) {
        if (auto failure = session.Select(options.device)) {
            report.Fail(std::move(*failure));
            return report.Finish();
        }
        context.device = session.Selected().device;
        if (options.trace) {
            traced =
                std::make_unique<velmora::TracingCaptureDevice>(*context.device, [](const std::string& line) {
                    std::fprintf(stderr, "%s\n", line.c_str());
                    std::fflush(stderr);
                });
            context.device = traced.get();
        }
        report.Set("device", session.Selected().index);
        report.Set("label", session.Selected().label);
    }
    command->run(context);
    return report.Finish();
}

}  // namespace velmoractl

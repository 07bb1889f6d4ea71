#include "tools/velmoractl.h"

#include <cstdio>

#include "platform/stop_signals.h"
#include "tools/bridge/serve_command.h"
#include "tools/cli_options.h"
#include "tools/cli_report.h"
#include "tools/cli_setup.h"
#include "tools/commands/batch_command.h"
#include "tools/commands/command_table.h"
#include "tools/commands/midi_command.h"

namespace velmoractl {

namespace {

int PrintHelp(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    return 0;
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
    if (command->name == "midi") return RunMidi(options);
    if (!command->run)
        return command->name == "serve" ? velmora::bridge::RunServe(options) : RunBatch(options);

    Setup setup;
    if (auto failure = setup.Prepare(options, command->needsDevice, command->run == RunWatch)) {
        report.Fail(std::move(*failure));
        return report.Finish();
    }
    CommandContext context{options, setup.GetSession(), report, setup.Device()};
    if (command->needsDevice) {
        report.Set("device", setup.GetSession().Selected().index);
        report.Set("label", setup.GetSession().Selected().label);
    }
    command->run(context);
    const int status = report.Finish();
    // A nudge or a macro that a signal cut short has released its key: now the signal ends velmoractl.
    if (const int signal = velmora::StopSignals::Received()) velmora::StopSignals::EndBy(signal);
    return status;
}

}  // namespace velmoractl

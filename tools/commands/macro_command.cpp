// macro NAME, macros and a batch's wait MS: the macros file's sequences and pauses.
#include <QJsonArray>
#include <QJsonObject>
#include <optional>

#include "keys/macro_runner.h"
#include "platform/stop_signals.h"
#include "tools/commands/command_context.h"
#include "tools/macros/macros_load.h"

namespace velmoractl {

std::string CheckMacro(const Options& options)
{
    if (!IsMacroName(options.operands[0]))
        return "'" + options.operands[0] + "' is no macro name (1 to 64 letters, digits, '-', '_' and '.')";
    return {};
}

std::string CheckWait(const Options& options)
{
    std::string error;
    if (!ParseMilliseconds(options.operands[0], velmora::MaxMacroWaitMs, "an hour", error))
        return "wait " + options.operands[0] + ": " + error;
    return {};
}

void RunMacro(CommandContext& context)
{
    if (const std::string problem = CheckMacro(context.options); !problem.empty()) {
        context.report.Fail(UsageFailure(problem));
        return;
    }
    const std::string& name = context.options.operands[0];
    // A batch read and checked its macros before it ran; alone, the file is read now.
    std::optional<LoadedMacros> loaded;
    const velmora::MacroBook* book = context.macros;
    if (!book) {
        loaded = LoadMacros(context.options);
        if (!loaded->file.problems.empty()) {
            ReportMacroProblems(*loaded, context.report.Json(), context.report);
            return;
        }
        book = &loaded->file.book;
    }
    const velmora::Macro* macro = book->Find(name);
    if (!macro) {
        context.report.Fail(UsageFailure("no macro '" + name + "' in " +
                                         (loaded ? loaded->path : "the macros file") +
                                         " ('velmoractl macros' lists them)"));
        return;
    }
    const QJsonArray events = PlayMacro(context, *macro);
    context.report.Set("macro", QString::fromStdString(macro->name));
    context.report.Set("events", events);
}

void RunMacros(CommandContext& context)
{
    const LoadedMacros loaded = LoadMacros(context.options);
    if (!loaded.file.problems.empty()) {
        ReportMacroProblems(loaded, context.report.Json(), context.report);
        return;
    }
    const std::vector<velmora::Macro>& macros = loaded.file.book.macros;
    if (macros.empty()) context.report.Warn("no macros in " + loaded.path);
    QJsonArray list;
    for (const velmora::Macro& macro : macros) {
        const long long ms = velmora::MacroDurationMs(macro);
        context.report.Line(macro.name + "  " + std::to_string(macro.steps.size()) + " step(s), " +
                            std::to_string(ms) + " ms  (line " + std::to_string(macro.line) + ")");
        QJsonObject record;
        record.insert("name", QString::fromStdString(macro.name));
        record.insert("line", macro.line);
        record.insert("steps", static_cast<int>(macro.steps.size()));
        record.insert("ms", static_cast<double>(ms));
        list.append(record);
    }
    context.report.Set("file", QString::fromStdString(loaded.path));
    context.report.Set("macros", list);
}

void RunWait(CommandContext& context)
{
    if (!context.held) {
        context.report.Fail(UsageFailure("wait belongs in a batch (in a shell: sleep)"));
        return;
    }
    if (const std::string problem = CheckWait(context.options); !problem.empty()) {
        context.report.Fail(UsageFailure(problem));
        return;
    }
    std::string error;
    const int ms = *ParseMilliseconds(context.options.operands[0], velmora::MaxMacroWaitMs, "an hour", error);
    // A stop signal ends the wait at once; the batch then stops.
    const bool slept =
        velmora::StopSignals::SleepUntil(velmora::MacroRunner::Clock::now() + std::chrono::milliseconds(ms));
    context.report.Set("ms", ms);
    if (!slept) context.report.Set("interrupted", true);
}

}  // namespace velmoractl

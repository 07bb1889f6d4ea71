#include "tools/commands/batch_command.h"

#include <QJsonArray>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "platform/stop_signals.h"
#include "tools/batch_script.h"
#include "tools/cli_report.h"
#include "tools/cli_setup.h"
#include "tools/macros/macros_load.h"

namespace velmoractl {

namespace {

std::optional<std::string> ReadInput(const std::string& source, std::string& error)
{
    const bool standardInput = source == "-";
    std::FILE* file = standardInput ? stdin : std::fopen(source.c_str(), "rb");
    if (!file) {
        error = "cannot read " + source + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string text;
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    if (!standardInput) std::fclose(file);
    if (failed) {
        error = "cannot read " + source;
        return std::nullopt;
    }
    return text;
}

std::string LineList(const std::vector<int>& lines)
{
    std::string text;
    for (int line : lines) text += (text.empty() ? "" : ", ") + std::to_string(line);
    return text;
}

// The closing report: how many ran, which lines failed; the exit status is the first failure's, the
// message says what became of the batch.
int Close(Report& report, int commands, int ran, const std::vector<int>& failedLines,
          const std::optional<Failure>& first, const std::string& message)
{
    report.SetCompact();
    report.Set("commands", commands);
    report.Set("ran", ran);
    QJsonArray failed;
    for (int line : failedLines) failed.append(line);
    report.Set("failed", failed);
    if (first) report.Fail(Failure{first->code, first->cause, message, first->status});
    return report.Finish();
}

}  // namespace

int RunBatch(const Options& options)
{
    const std::string source = options.operands.empty() ? "-" : options.operands.front();
    std::string error;
    const std::string where = source == "-" ? "standard input" : source;
    const std::optional<std::string> bytes = ReadInput(source, error);
    std::string encoding;
    const std::optional<std::string_view> text = bytes ? BatchText(*bytes, encoding) : std::nullopt;
    if (!text) {
        if (bytes) error = where + " is " + encoding + " text: save it as UTF-8; nothing was run";
        Report report("batch", options.json);
        report.SetCompact();
        report.Fail(UsageFailure(error));
        return report.Finish();
    }
    // Every line is checked before anything is opened or sent, the macros its lines run included.
    BatchScript script = ParseBatch(*text);
    const int commands = static_cast<int>(script.lines.size());
    std::optional<LoadedMacros> macros;
    for (const BatchLine& line : script.lines) {
        if (line.command->run != RunMacro) continue;
        if (!macros) macros = LoadMacros(options);
        if (macros->file.problems.empty() && !macros->file.book.Find(line.options.operands[0])) {
            script.problems.push_back(
                BatchProblem{line.number, "macro",
                             UsageFailure("no macro '" + line.options.operands[0] + "' in " + macros->path)});
        }
    }
    std::stable_sort(script.problems.begin(), script.problems.end(),
                     [](const BatchProblem& a, const BatchProblem& b) { return a.number < b.number; });
    if (macros && !macros->file.problems.empty()) {
        // The macros file's bad lines; its failure closes the batch unless bad lines of its own do.
        Report report("batch", options.json);
        report.SetCompact();
        ReportMacroProblems(*macros, options.json, report);
        if (script.problems.empty()) return report.Finish();
    }
    if (!script.problems.empty()) {
        std::vector<int> lines;
        for (const BatchProblem& problem : script.problems) {
            Report report(problem.command, options.json);
            report.ForBatchLine(problem.number);
            report.Fail(problem.failure);
            report.Finish();
            lines.push_back(problem.number);
        }
        Report report("batch", options.json);
        return Close(report, commands, 0, lines, UsageFailure(""),
                     "bad line(s) " + LineList(lines) + " in " + where + "; nothing was run");
    }

    bool needsDevice = false;
    for (const BatchLine& line : script.lines) needsDevice = needsDevice || line.command->needsDevice;
    Setup setup;
    if (auto failure = setup.Prepare(options, needsDevice)) {
        Report report("batch", options.json);
        report.SetCompact();
        report.Fail(std::move(*failure));
        return report.Finish();
    }
    Session& session = setup.GetSession();

    // Keys pressed and not released are let go when the batch fails or is interrupted.
    velmora::HeldKeys held;
    const velmora::StopSignals stopSignals;
    int reached = 0;  // lines taken up, run or not
    int ran = 0;      // lines run: not those left unsent after the device vanished
    int goneAt = 0;   // the line where the device vanished
    int stoppedAt = 0;
    std::vector<int> failedLines;
    std::optional<Failure> first;
    for (const BatchLine& line : script.lines) {
        if (velmora::StopSignals::Received()) break;
        ++reached;
        // A line's own options are all it may give (the batch-wide ones were refused when it was
        // checked, and Setup and the report already carry those), so it runs with them as they are.
        const Options& lineOptions = line.options;
        Report report(lineOptions.command, options.json);
        report.ForBatchLine(line.number);
        const bool onDevice = line.command->needsDevice;
        if (onDevice) {
            report.Set("device", session.Selected().index);
            report.Set("label", session.Selected().label);
        }
        if (onDevice && goneAt > 0) {
            report.Fail(Failure{ExitCode::DeviceGone, CauseName(ExitCode::DeviceGone),
                                session.Subject() + ": " + lineOptions.command +
                                    ": not sent: the device vanished at line " + std::to_string(goneAt),
                                std::nullopt});
        } else {
            CommandContext context{lineOptions, session,
                                   report,      onDevice ? setup.Device() : nullptr,
                                   &held,       macros ? &macros->file.book : nullptr};
            line.command->run(context);
            ++ran;
        }
        if (report.Finish() == 0) continue;
        failedLines.push_back(line.number);
        if (!first) first = report.FirstFailure();
        if (onDevice && goneAt == 0 && report.FirstFailure()->code == ExitCode::DeviceGone)
            goneAt = line.number;
        if (!options.keepGoing) {
            stoppedAt = line.number;
            break;
        }
    }
    const int signal = velmora::StopSignals::Received();
    Report closing("batch", options.json);
    if ((first || signal) && !held.Empty()) {
        const QJsonArray released = ReleaseHeldKeys(held, setup.Device(), goneAt, closing);
        closing.Set("released", released);
    }
    const std::string notRun = std::to_string(commands - reached) + " later command(s) not run";
    std::string message;
    if (signal) {
        message = std::string("batch interrupted by ") + velmora::StopSignals::Name(signal) + "; " + notRun;
        first = Failure{static_cast<ExitCode>(128 + signal), "interrupted", "", std::nullopt};
    } else if (stoppedAt > 0 && reached < commands) {
        message = "batch stopped at line " + std::to_string(stoppedAt) + "; " + notRun;
    } else {
        message = std::to_string(failedLines.size()) + " of " + std::to_string(commands) +
                  " command(s) failed (line " + LineList(failedLines) + ")";
    }
    const int status = Close(closing, commands, ran, failedLines, first, message);
    if (signal) velmora::StopSignals::EndBy(signal);
    return status;
}

}  // namespace velmoractl

// velmoractl's driver of the macro engine: a blocking loop that writes each slot when it is due and
// sleeps in between, woken early by a stop signal.
#include <QJsonArray>
#include <QJsonObject>
#include <string>

#include "keys/key_table.h"
#include "keys/macro_runner.h"
#include "platform/stop_signals.h"
#include "tools/commands/command_context.h"

namespace velmoractl {

namespace {

using Clock = velmora::MacroRunner::Clock;

std::string Title(const velmora::Macro& macro)
{
    return macro.name.empty() ? std::string("the nudge") : "macro " + macro.name;
}

QJsonArray Play(CommandContext& context, const velmora::Macro& macro)
{
    velmora::HeldKeys& held = *context.held;
    velmora::MacroRunner runner(macro, Clock::now());
    QJsonArray events;
    int signal = 0;
    // A signal is looked at before the runner hands out a slot, so none is out when it is cancelled.
    while ((signal = velmora::StopSignals::Received()) == 0) {
        const velmora::MacroRunner::Action action = runner.Next(Clock::now());
        if (action.kind == velmora::MacroRunner::Action::Kind::Done) break;
        if (action.kind == velmora::MacroRunner::Action::Kind::Wait) {
            velmora::StopSignals::SleepUntil(action.until);
            continue;
        }
        QJsonObject extra;
        if (context.report.Json()) {
            const velmora::MacroStep& step = macro.steps[static_cast<std::size_t>(action.step)];
            extra.insert("step", action.step);
            if (step.line > 0) extra.insert("line", step.line);
        }
        bool ok = true;
        if (action.slot % 2 == 0) {
            // One keypad: a key an earlier command left pressed is let go of first.
            const std::vector<int> down = held.KeyIndices();
            for (const int key : down) ok = ok && SendKey(context, 2 * key + 1, events, extra);
        }
        ok = ok && SendKey(context, action.slot, events, extra);
        runner.Sent(ok, Clock::now());
    }
    if (!signal && !runner.Failed()) return events;

    // Ended early: what the macro holds is let go of before anything else.
    const bool gone = context.report.Failed() && context.report.FirstFailure()->code == ExitCode::DeviceGone;
    for (const int slot : runner.Cancel()) {
        if (gone) {
            const velmora::KeyDefinition& key = *velmora::KeySlot(slot).key;
            context.report.Line(std::string(key.objectName) + " (" + std::string(key.caption) +
                                ") release: not sent: the device vanished");
            continue;
        }
        QJsonObject extra;
        extra.insert("cancel", true);
        SendKey(context, slot, events, extra);
    }
    if (signal) {
        context.report.Fail(Failure{static_cast<ExitCode>(128 + signal), "interrupted",
                                    Title(macro) + " interrupted by " + velmora::StopSignals::Name(signal),
                                    std::nullopt});
    }
    return events;
}

}  // namespace

QJsonArray PlayMacro(CommandContext& context, const velmora::Macro& macro)
{
    if (context.held) return Play(context, macro);
    // Alone, not in a batch: the signals are caught here, and only the macro's keys are held.
    const velmora::StopSignals stopSignals;
    velmora::HeldKeys held;
    CommandContext alone{context.options, context.session, context.report,
                         context.device,  &held,           context.macros};
    return Play(alone, macro);
}

}  // namespace velmoractl

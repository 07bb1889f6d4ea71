#include "tools/bridge/controller_front.h"

#include <chrono>
#include <cstdio>

#include "keys/key_table.h"
#include "tools/bridge/serve_log.h"
#include "tools/commands/key_names.h"
#include "tools/terminal_text.h"

namespace velmora::bridge {

namespace {

using controllers::ControllerAction;

KeyAction ActionOf(ControllerAction::Kind kind)
{
    switch (kind) {
        case ControllerAction::Kind::Press:
            return KeyAction::Press;
        case ControllerAction::Kind::Release:
            return KeyAction::Release;
        case ControllerAction::Kind::Click:
        case ControllerAction::Kind::Macro:
            break;
    }
    return KeyAction::Click;
}

// "2026-12-08T14:02:11Z gamepad 0 (Xbox 360 Controller) zoom-in press: sent 0.41ms" on standard error:
// the client, what it asked for, what came of it and the time since started.
void LogLine(const std::string& client, const std::string& what, const std::string& result,
             std::chrono::steady_clock::time_point started)
{
    const double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    char duration[32];
    std::snprintf(duration, sizeof duration, " %.2fms\n", milliseconds);
    const std::string line =
        LogStamp() + " " + velmoractl::TerminalText(client) + " " + what + ": " + result + duration;
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string FailureText(const BridgeFailure& failure)
{
    return failure.cause + " (" + failure.message + ")";
}

void LogAction(const std::string& client, int keyIndex, KeyAction action, const KeyOutcome& outcome,
               std::chrono::steady_clock::time_point started)
{
    std::string result;
    if (outcome.failure) {
        result = FailureText(*outcome.failure);
    } else {
        bool sent = false;
        for (const KeyWrite& write : outcome.writes)
            sent = sent || (write.writes && write.status == StatusOk);
        result = sent ? "sent" : outcome.renewed ? "held again" : "nothing sent";
    }
    LogLine(client,
            std::string(velmoractl::ShortKeyName(Keys[static_cast<std::size_t>(keyIndex)])) + " " +
                std::string(KeyActionName(action)),
            result, started);
}

// "... gamepad 0 (Xbox 360 Controller) macro wide: finished 2412.30ms"
void LogMacro(const std::string& client, const MacroOutcome& outcome,
              std::chrono::steady_clock::time_point started)
{
    std::string result = outcome.finished ? "finished" : "not run";
    if (outcome.failure) {
        result = FailureText(*outcome.failure);
    } else if (outcome.end) {
        result = "cancelled (" + std::string(MacroEndName(*outcome.end)) +
                 (outcome.endedBy.empty() ? "" : " by " + outcome.endedBy) + ")";
    }
    LogLine(client, "macro " + velmoractl::TerminalText(outcome.name), result, started);
}

}  // namespace

ControllerFront::ControllerFront(BridgeCore& core, bool quiet)
    : m_core(core), m_owner(core.NewOwner()), m_quiet(quiet)
{
}

void ControllerFront::Act(const std::vector<ControllerAction>& actions)
{
    for (const ControllerAction& action : actions) {
        if (action.kind == ControllerAction::Kind::Macro) {
            RunMacro(action.macro);
            continue;
        }
        if (action.key < 0 || action.key >= static_cast<int>(Keys.size())) continue;
        KeyRequest request;
        request.owner = m_owner;
        request.client = m_client;
        request.keyIndex = action.key;
        request.action = ActionOf(action.kind);
        const auto started = std::chrono::steady_clock::now();
        m_core.Key(request, [&core = m_core, owner = m_owner, client = m_client, quiet = m_quiet, request,
                             started](const KeyOutcome& outcome) {
            if (!quiet) LogAction(client, request.keyIndex, request.action, outcome, started);
            // A release the full queue refused is owed: the release of what this controller holds
            // always finds its place.
            if (request.action == KeyAction::Release && outcome.failure &&
                outcome.failure->kind == FailureKind::Busy)
                core.OwnerGone(owner);
        });
    }
}

void ControllerFront::RunMacro(const std::string& name)
{
    const Macro* macro = m_macros.Find(name);
    if (!macro) return ControllerNote(m_client, "asks for macro " + name + ", which the macros file has not");
    const auto started = std::chrono::steady_clock::now();
    m_core.RunMacro(MacroRequest{m_owner, m_client, std::nullopt, *macro, true},
                    [client = m_client, quiet = m_quiet, started](const MacroOutcome& outcome) {
                        if (!quiet) LogMacro(client, outcome, started);
                    });
}

void ControllerFront::Gone()
{
    m_core.OwnerGone(m_owner);
}

void ControllerNote(const std::string& client, const std::string& what)
{
    std::fprintf(stderr, "%s velmoractl: %s %s\n", LogStamp().c_str(),
                 velmoractl::TerminalText(client).c_str(), velmoractl::TerminalText(what).c_str());
    std::fflush(stderr);
}

}  // namespace velmora::bridge

#include <QJsonArray>
#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

#include "keys/key_table.h"
#include "tools/cli_number.h"
#include "tools/commands/command_context.h"
#include "tools/commands/key_names.h"
#include "tools/macros/macro_file.h"
#include "xu/register_protocol.h"

namespace velmoractl {

namespace {

std::string ByteText(std::uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string KeyAction(const Options& options)
{
    return options.operands.size() > 1 ? options.operands[1] : "click";
}

// "Zoom_inButton (放大)"
std::string KeyText(const velmora::KeyDefinition& key)
{
    return std::string(key.objectName) + " (" + std::string(key.caption) + ")";
}

velmora::Status SendKeySlot(velmora::CaptureDevice* device, const velmora::KeySlotAction& step)
{
    return velmora::WriteRegister(device, velmora::KeyRegisterAddress, step.data, velmora::KeyParam,
                                  velmora::KeyCommand);
}

// A nudge holds its key 1 ms to the hold limit.
std::optional<int> NudgeMs(const std::string& text, std::string& error)
{
    return ParseMilliseconds(text, velmora::DefaultMacroHoldLimitMs, "the hold limit", error);
}

QString Utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace

std::string CheckKey(const Options& options)
{
    if (!FindKeyByName(options.operands[0]))
        return "unknown key '" + options.operands[0] + "' (one of " + KeyNameList() + ")";
    const std::string action = KeyAction(options);
    const bool nudge = action == "nudge";
    if (action != "press" && action != "release" && action != "click" && !nudge)
        return "unknown key action '" + action + "' (press, release, click or nudge MS)";
    if (nudge && options.operands.size() < 3) return "nudge needs its time: key NAME nudge MS";
    if (!nudge && options.operands.size() > 2) return "unexpected argument '" + options.operands[2] + "'";
    std::string error;
    if (nudge && !NudgeMs(options.operands[2], error)) return "nudge " + options.operands[2] + ": " + error;
    return {};
}

bool SendKey(CommandContext& context, int slot, QJsonArray& events, const QJsonObject& extra)
{
    const velmora::KeySlotAction step = velmora::KeySlot(slot);
    const std::string event = step.press ? "press" : "release";
    const std::string keyText = KeyText(*step.key);
    std::optional<velmora::Status> status;
    if (!step.writes) {
        context.report.Line(keyText + " " + event + ": sends nothing");
    } else {
        status = SendKeySlot(context.device, step);
        if (*status == velmora::StatusOk) {
            if (context.held) context.held->Sent(slot);
            context.report.Line(keyText + " " + event + ": wrote " + ByteText(step.data) + " to register " +
                                ByteText(velmora::KeyRegisterAddress));
        } else {
            context.report.Line(keyText + " " + event + ": failed (" + velmora::StatusName(*status) + ")");
            context.report.Fail(context.RequestFailed("key " + std::string(step.key->objectName) + " " +
                                                          event + " (data " + ByteText(step.data) + ")",
                                                      *status, Channel::ExtensionUnit));
        }
    }
    if (context.report.Json()) {
        QJsonObject record = extra;
        record.insert("event", QString::fromStdString(event));
        record.insert("sent", step.writes);
        if (status) {
            record.insert("data", step.data);
            record.insert("status", QString::fromStdString(velmora::StatusName(*status)));
        }
        events.append(record);
    }
    return !status || *status == velmora::StatusOk;
}

void RunKey(CommandContext& context)
{
    if (const std::string problem = CheckKey(context.options); !problem.empty()) {
        context.report.Fail(UsageFailure(problem));
        return;
    }
    const velmora::KeyDefinition* key = FindKeyByName(context.options.operands[0]);
    const std::string action = KeyAction(context.options);
    const int keyIndex = static_cast<int>(key - velmora::Keys.data());
    QJsonArray events;
    if (action == "nudge") {
        velmora::Macro nudge;
        std::string error;
        const int ms = *NudgeMs(context.options.operands[2], error);
        nudge.steps.push_back(velmora::MacroStep{velmora::MacroStep::Kind::Nudge, keyIndex, ms, 0});
        events = PlayMacro(context, nudge);
        context.report.Set("ms", ms);
    } else {
        if (action != "release") SendKey(context, 2 * keyIndex, events);
        if (action != "press") SendKey(context, 2 * keyIndex + 1, events);
    }
    if (!context.report.Json()) return;
    context.report.Set("key", Utf8(key->objectName));
    context.report.Set("caption", Utf8(key->caption));
    context.report.Set("action", QString::fromStdString(action));
    context.report.Set("events", events);
}

QJsonArray ReleaseHeldKeys(velmora::HeldKeys& held, velmora::CaptureDevice* device, int goneAt,
                           Report& report)
{
    QJsonArray records;
    for (const int slot : held.TakeReleases()) {
        const velmora::KeySlotAction step = velmora::KeySlot(slot);
        QJsonObject record;
        record.insert("key", Utf8(step.key->objectName));
        record.insert("sent", goneAt == 0);
        const std::string keyText = KeyText(*step.key) + ", left pressed: ";
        if (goneAt > 0) {
            report.Line("releasing " + keyText + "not sent: the device vanished at line " +
                        std::to_string(goneAt));
        } else {
            const velmora::Status status = SendKeySlot(device, step);
            record.insert("status", QString::fromStdString(velmora::StatusName(status)));
            report.Line(status == velmora::StatusOk
                            ? "released " + keyText + "wrote " + ByteText(step.data) + " to register " +
                                  ByteText(velmora::KeyRegisterAddress)
                            : "releasing " + keyText + "failed (" + velmora::StatusName(status) + ")");
        }
        records.append(record);
    }
    return records;
}

}  // namespace velmoractl

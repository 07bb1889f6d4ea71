#include <QJsonArray>
#include <array>
#include <cstdio>
#include <string_view>

#include "keys/key_table.h"
#include "tools/cli_number.h"
#include "tools/commands/command_context.h"
#include "tools/commands/key_names.h"
#include "xu/register_protocol.h"

namespace velmoractl {

namespace {

std::string ByteText(std::uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

void RunKey(CommandContext& context)
{
    const std::vector<std::string>& operands = context.options.operands;
    const velmora::KeyDefinition* key = FindKeyByName(operands[0]);
    if (!key) {
        context.report.Fail(UsageFailure("unknown key '" + operands[0] + "' (one of " + KeyNameList() + ")"));
        return;
    }
    const std::string action = operands.size() > 1 ? operands[1] : "click";
    if (action != "press" && action != "release" && action != "click") {
        context.report.Fail(UsageFailure("unknown key action '" + action + "' (press, release or click)"));
        return;
    }
    const int keyIndex = static_cast<int>(key - velmora::Keys.data());
    std::vector<int> slotIndices;
    if (action != "release") slotIndices.push_back(2 * keyIndex);
    if (action != "press") slotIndices.push_back(2 * keyIndex + 1);

    const std::string keyText = std::string(key->objectName) + " (" + std::string(key->caption) + ")";
    QJsonArray events;
    for (int slot : slotIndices) {
        const velmora::KeySlotAction step = velmora::KeySlot(slot);
        const std::string event = step.press ? "press" : "release";
        QJsonObject record;
        record.insert("event", QString::fromStdString(event));
        record.insert("sent", step.writes);
        if (!step.writes) {
            context.report.Line(keyText + " " + event + ": sends nothing");
            events.append(record);
            continue;
        }
        record.insert("data", step.data);
        const velmora::Status status = velmora::WriteRegister(
            context.device, velmora::KeyRegisterAddress, step.data, velmora::KeyParam, velmora::KeyCommand);
        record.insert("status", QString::fromStdString(velmora::StatusName(status)));
        events.append(record);
        if (status == velmora::StatusOk) {
            context.report.Line(keyText + " " + event + ": wrote " + ByteText(step.data) + " to register " +
                                ByteText(velmora::KeyRegisterAddress));
        } else {
            context.report.Line(keyText + " " + event + ": failed (" + velmora::StatusName(status) + ")");
            context.report.Fail(context.RequestFailed(
                "key " + std::string(key->objectName) + " " + event + " (data " + ByteText(step.data) + ")",
                status, Channel::ExtensionUnit));
        }
    }
    context.report.Set("key",
                       QString::fromUtf8(key->objectName.data(), static_cast<int>(key->objectName.size())));
    context.report.Set("caption",
                       QString::fromUtf8(key->caption.data(), static_cast<int>(key->caption.size())));
    context.report.Set("action", QString::fromStdString(action));
    context.report.Set("events", events);
}

}  // namespace velmoractl

#include <QJsonArray>

#include "tools/cli_number.h"
#include "tools/commands/command_context.h"
#include "xu/register_protocol.h"

namespace velmoractl {

void RunStatus(CommandContext& context)
{
    QJsonArray registers;
    std::optional<Failure> first;
    unsigned failed = 0;
    for (std::uint32_t i = 0; i < velmora::StatusRegisterCount; ++i) {
        const std::uint32_t address = velmora::StatusRegisterFirst + i;
        std::uint64_t value = 0;
        const velmora::Status status = velmora::ReadRegister(context.device, address, value,
                                                             velmora::StatusParam, velmora::StatusCommand);
        QJsonObject entry;
        entry.insert("address", static_cast<int>(address));
        entry.insert("status", QString::fromStdString(velmora::StatusName(status)));
        const std::string where = Hex32(address) + " (" + std::to_string(address) + ")";
        if (status == velmora::StatusOk) {
            entry.insert("value", static_cast<double>(value));
            context.report.Line(where + " = " + Hex32(value) + " (" + std::to_string(value) + ")");
        } else {
            ++failed;
            Failure failure = context.RequestFailed("reading status register " + std::to_string(address),
                                                    status, Channel::ExtensionUnit);
            entry.insert("error", QString::fromStdString(failure.cause));
            context.report.Line(where + " failed: " + failure.cause + " (" + velmora::StatusName(status) +
                                ")");
            if (!first) first = std::move(failure);
        }
        registers.append(entry);
    }
    context.report.Set("registers", registers);
    context.report.Set("failed", static_cast<int>(failed));
    if (first) {
        first->message += "; " + std::to_string(failed) + " of " +
                          std::to_string(velmora::StatusRegisterCount) + " status reads failed";
        context.report.Fail(std::move(*first));
    }
}

}  // namespace velmoractl

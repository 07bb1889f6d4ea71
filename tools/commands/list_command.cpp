#include <QJsonArray>

#include "tools/commands/command_context.h"

namespace velmoractl {

void RunList(CommandContext& context)
{
    const std::vector<DeviceEntry>& devices = context.session.Devices();
    QJsonArray list;
    for (const DeviceEntry& entry : devices) {
        QJsonObject item;
        item.insert("index", entry.index);
        item.insert("label", entry.label);
        item.insert("path", entry.path ? QJsonValue(QString::fromStdString(*entry.path)) : QJsonValue());
        item.insert("id", entry.id.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(entry.id)));
        list.append(item);
        context.report.Line(QString::number(entry.index) + "  " + entry.label);
    }
    context.report.Set("devices", list);
    const std::string& problem = context.session.EnumerationProblem();
    if (!problem.empty()) {
        context.report.Fail(Failure{ExitCode::Failed, CauseName(ExitCode::Failed),
                                    "cannot list devices: " + problem, std::nullopt});
        return;
    }
    if (devices.empty()) context.report.Line("no capture device");
}

}  // namespace velmoractl

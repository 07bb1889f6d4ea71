#include <QJsonDocument>
#include <cstdio>

#include "devices/device_change_handling.h"
#include "tools/commands/command_context.h"
#include "tools/commands/watch_loop.h"
#include "tools/terminal_text.h"

namespace velmoractl {

namespace {

const char* KindName(velmora::DeviceChangeKind kind)
{
    switch (kind) {
        case velmora::DeviceChangeKind::Arrival:
            return "arrival";
        case velmora::DeviceChangeKind::RemoveComplete:
            return "removal";
        default:
            return "other";
    }
}

// One line per event, at once: text, or one compact JSON object (JSON Lines).
void PrintEvent(bool json, const velmora::DeviceChangeEvent& event)
{
    const std::string kind = KindName(event.kind);
    if (json) {
        QJsonObject object;
        object.insert("event", QString::fromStdString(kind));
        object.insert("record", static_cast<double>(event.recordType));
        object.insert("name", QString::fromStdString(event.interfaceName));
        const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
        std::fprintf(stdout, "%s\n", line.constData());
    } else {
        std::fprintf(stdout, "%-8s %s\n", kind.c_str(), TerminalText(event.interfaceName).c_str());
    }
    std::fflush(stdout);
}

}  // namespace

void RunWatch(CommandContext& context)
{
    std::unique_ptr<velmora::DeviceChangeSource> source =
        context.session.Backend().CreateDeviceChangeSource();
    if (!source) {
        context.report.Fail(Failure{ExitCode::Unsupported, CauseName(ExitCode::Unsupported),
                                    "watching: the " + context.session.PlatformName() +
                                        " backend offers no device-change notification",
                                    std::nullopt});
        return;
    }
    const bool json = context.report.Json();
    context.report.SetCompact();
    int events = 0;
    const auto sink = [&](const velmora::DeviceChangeEvent& event) {
        if (event.kind == velmora::DeviceChangeKind::Other) return;
        ++events;
        PrintEvent(json, event);
    };
    const auto ready = [] {
        std::fprintf(stderr, "velmoractl: watching capture devices; stop with Ctrl+C\n");
        std::fflush(stderr);
    };
    velmora::Status status = velmora::StatusOk;
    std::string error;
    if (!WatchDeviceChanges(*source, velmora::WatchedInterfaceClasses[0], sink, ready, status, error)) {
        if (velmora::Failed(status)) {
            context.report.Fail(RequestFailure("watching", "registering for device changes", status,
                                               Channel::Other, context.session.PlatformName()));
        } else {
            context.report.Fail(
                Failure{ExitCode::Failed, CauseName(ExitCode::Failed), "watching: " + error, std::nullopt});
        }
    }
    context.report.Set("events", events);
}

}  // namespace velmoractl

#include <QString>

#include "tools/commands/command_context.h"
#include "xu/register_protocol.h"

namespace velmoractl {

void RunReadString(CommandContext& context)
{
    std::string text;
    const velmora::Status status = velmora::ReadRegisterString(context.device, text);
    context.report.Set("status", QString::fromStdString(velmora::StatusName(status)));
    if (status == velmora::RegisterStringTooLong) {
        context.report.Fail(Failure{ExitCode::Failed, CauseName(ExitCode::Failed),
                                    context.session.Subject() +
                                        ": reading the string: the camera reports a length " + "above " +
                                        std::to_string(velmora::RegisterStringMaxLength) + " bytes (" +
                                        velmora::StatusName(status) + ")",
                                    status});
        return;
    }
    if (status != velmora::StatusOk) {
        context.report.Fail(context.RequestFailed("reading the string", status, Channel::ExtensionUnit));
        return;
    }
    context.report.Set("text", QString::fromUtf8(text.data(), static_cast<int>(text.size())));
    context.report.Line(text);
}

std::string CheckWriteString(const Options& options)
{
    return options.operands[0].empty() ? "write-string needs a non-empty TEXT" : std::string();
}

void RunWriteString(CommandContext& context)
{
    if (const std::string problem = CheckWriteString(context.options); !problem.empty()) {
        context.report.Fail(UsageFailure(problem));
        return;
    }
    const QString text = QString::fromLocal8Bit(context.options.operands[0].c_str());
    for (const QChar c : text) {
        if (c.unicode() > 0xFF) {
            context.report.Warn("characters above U+00FF travel as '?' (the string registers carry Latin-1)");
            break;
        }
    }
    const velmora::Status status = velmora::WriteRegisterString(context.device, text.toStdU16String());
    context.report.Set("status", QString::fromStdString(velmora::StatusName(status)));
    context.report.Set("length", static_cast<int>(text.size()));
    if (status != velmora::StatusOk) {
        context.report.Fail(context.RequestFailed("writing the string", status, Channel::ExtensionUnit));
        return;
    }
    context.report.Line("wrote " + std::to_string(text.size()) + " character(s)");
}

}  // namespace velmoractl

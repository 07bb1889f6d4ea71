#include <QJsonObject>
#include <cstdint>
#include <string>

#include "tools/commands/command_context.h"
#include "xu/xu_transport.h"

namespace velmoractl {

namespace {

// What the window's zoom query keeps of a value: its low 16 bits, signed.
std::int16_t WindowValue(std::int32_t value)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu));
}

}  // namespace

void RunZoom(CommandContext& context)
{
    velmora::CameraZoom zoom;
    const velmora::Status status = velmora::ReadCameraZoom(context.device, zoom);
    context.report.Set("status", QString::fromStdString(velmora::StatusName(status)));
    if (velmora::Failed(status)) {
        context.report.Fail(context.RequestFailed("reading the zoom", status, Channel::CameraControl));
        return;
    }
    const struct {
        const char* name;
        std::int32_t value;
    } fields[] = {
        {"value", zoom.value}, {"minimum", zoom.minimum}, {"maximum", zoom.maximum}, {"step", zoom.step}};
    QJsonObject window;
    std::string misfits;
    for (const auto& field : fields) {
        const std::int16_t seen = WindowValue(field.value);
        context.report.Set(field.name, field.value);
        window.insert(field.name, seen);
        if (seen == field.value) continue;
        if (!misfits.empty()) misfits += ", ";
        misfits += std::string(field.name) + " " + std::to_string(field.value) +
                   (misfits.empty() ? " reads as " : " as ") + std::to_string(seen);
    }
    context.report.Set("fitsWindow", misfits.empty());
    context.report.Set("window", window);
    context.report.Line("zoom " + std::to_string(zoom.value) + " (minimum " + std::to_string(zoom.minimum) +
                        ", maximum " + std::to_string(zoom.maximum) + ", step " + std::to_string(zoom.step) +
                        ")");
    if (!misfits.empty()) context.report.Line("the window keeps 16 bits: " + misfits);
}

}  // namespace velmoractl

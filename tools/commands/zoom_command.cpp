#include "tools/commands/command_context.h"
#include "xu/xu_transport.h"

namespace velmoractl {

void RunZoom(CommandContext& context)
{
    std::int16_t value = 0;
    std::int16_t minimum = 0;
    std::int16_t maximum = 0;
    std::int16_t step = 0;
    const velmora::Status status = velmora::GetCameraZoom(context.device, value, minimum, maximum, step);
    context.report.Set("status", QString::fromStdString(velmora::StatusName(status)));
    if (velmora::Failed(status)) {
        context.report.Fail(context.RequestFailed("reading the zoom", status, Channel::CameraControl));
        return;
    }
    context.report.Set("value", value);
    context.report.Set("minimum", minimum);
    context.report.Set("maximum", maximum);
    context.report.Set("step", step);
    context.report.Line("zoom " + std::to_string(value) + " (minimum " + std::to_string(minimum) +
                        ", maximum " + std::to_string(maximum) + ", step " + std::to_string(step) + ")");
}

}  // namespace velmoractl

#include "tools/controllers/axis_keys.h"

namespace velmora::controllers {

AxisStep StepAxis(AxisHalf held, long long value, long long fullScale)
{
    AxisStep step;
    step.held = held;
    if (held != AxisHalf::None) {
        // The value as seen from the held half: positive while the stick leans that way.
        const long long toward = held == AxisHalf::Negative ? -value : value;
        if (10 * toward < 3 * fullScale) {
            step.edges[step.count++] = {held, false};
            step.held = AxisHalf::None;
        }
    }
    if (step.held == AxisHalf::None) {
        if (2 * value > fullScale) {
            step.held = AxisHalf::Positive;
        } else if (-2 * value > fullScale) {
            step.held = AxisHalf::Negative;
        }
        if (step.held != AxisHalf::None) step.edges[step.count++] = {step.held, true};
    }
    return step;
}

}  // namespace velmora::controllers

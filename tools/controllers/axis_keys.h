// An axis (a stick's direction, a trigger, a MIDI controller's value) as two keys with hysteresis:
// a half is pressed past 0.5 of full scale and released below 0.3 of it, so that a value resting near
// a threshold does not chatter, and only changes come out.
#pragma once

#include <array>

namespace velmora::controllers {

enum class AxisHalf { None, Negative, Positive };

struct AxisEdge {
    AxisHalf half = AxisHalf::None;
    bool press = false;  // false: released
};

struct AxisStep {
    AxisHalf held = AxisHalf::None;  // after the value
    std::array<AxisEdge, 2> edges{};
    int count = 0;  // 0, 1 or 2 (a release, then the other half's press)
};

// The half held after value (-fullScale..fullScale; a trigger 0..fullScale), given the half held
// before, and the edges on the way. A value past half of full scale on the other side releases the
// held half first.
AxisStep StepAxis(AxisHalf held, long long value, long long fullScale);

}  // namespace velmora::controllers

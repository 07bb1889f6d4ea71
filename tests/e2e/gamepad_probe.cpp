// The gamepad adapter on its own, for the e2e VM: prints each event of the pad chosen (an index or
// any, as velmoractl will take them) and the default mapping's actions, one a line, until a stop
// signal. "ready" once the adapter waits.
#include <cstdio>
#include <string>

#include "keys/key_table.h"
#include "tools/commands/key_names.h"
#include "tools/controllers/event_wait.h"
#include "tools/controllers/gamepad_mapper.h"
#include "tools/controllers/gamepad_source.h"

using namespace velmora::controllers;

namespace {

void Print(const GamepadEvent& event)
{
    switch (event.kind) {
        case GamepadEvent::Kind::Connected:
            std::printf("connected %d %s\n", event.index, event.name.c_str());
            break;
        case GamepadEvent::Kind::Disconnected:
            std::printf("disconnected %d %s\n", event.index, event.name.c_str());
            break;
        case GamepadEvent::Kind::Unusable:
            std::printf("unusable %s: %s\n", event.name.c_str(), event.detail.c_str());
            break;
        case GamepadEvent::Kind::Button:
            std::printf("button %s %s\n", std::string(GamepadInputName(ButtonInput(event.button))).c_str(),
                        event.down ? "down" : "up");
            break;
        case GamepadEvent::Kind::Axis:
            std::printf("axis %d %d\n", static_cast<int>(event.axis), event.value);
            break;
    }
}

void Print(const ControllerAction& action)
{
    static const char* kinds[] = {"press", "release", "click", "macro"};
    const char* kind = kinds[static_cast<int>(action.kind)];
    if (action.kind == ControllerAction::Kind::Macro) {
        std::printf("action macro %s\n", action.macro.c_str());
    } else {
        std::printf("action %s %s\n", kind,
                    std::string(velmoractl::ShortKeyName(velmora::Keys[action.key])).c_str());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto choice = ParseGamepadChoice(argc > 1 ? argv[1] : "any", error);
    if (!choice) {
        std::fprintf(stderr, "gamepad-probe: %s\n", error.c_str());
        return 2;
    }
    const auto source = CreateGamepadSource(error);
    if (!source) {
        std::fprintf(stderr, "gamepad-probe: %s\n", error.c_str());
        return 1;
    }
    GamepadMapper mapper(DefaultGamepadMapping());
    const auto sink = [&](const GamepadEvent& event) {
        Print(event);
        std::vector<ControllerAction> actions;
        mapper.Take(event, actions);
        for (const ControllerAction& action : actions) Print(action);
        std::fflush(stdout);
    };
    if (!source->Start(*choice, sink, error)) {
        std::fprintf(stderr, "gamepad-probe: %s\n", error.c_str());
        return 2;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    const int stopped = RunUntilStopped(
        source->EventHandle(),
        [&] {
            source->DispatchPending();
            return true;
        },
        error);
    if (stopped < 0) {
        std::fprintf(stderr, "gamepad-probe: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

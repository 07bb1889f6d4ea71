#include "tools/bridge/bridge_types.h"

namespace velmora::bridge {

std::optional<KeyAction> ParseKeyAction(std::string_view text)
{
    if (text == "press") return KeyAction::Press;
    if (text == "release") return KeyAction::Release;
    if (text == "click") return KeyAction::Click;
    return std::nullopt;
}

std::string_view KeyActionName(KeyAction action)
{
    switch (action) {
        case KeyAction::Press:
            return "press";
        case KeyAction::Release:
            return "release";
        case KeyAction::Click:
            break;
    }
    return "click";
}

std::string_view HoldEndName(HoldEnd end)
{
    switch (end) {
        case HoldEnd::Limit:
            return "hold-limit";
        case HoldEnd::OwnerGone:
            return "client-gone";
        case HoldEnd::LeaseExpired:
            return "lease-expired";
        case HoldEnd::Stopping:
            break;
    }
    return "stopping";
}

std::string_view MacroEndName(MacroEnd end)
{
    switch (end) {
        case MacroEnd::KeyPressed:
            return "key-pressed";
        case MacroEnd::AnotherMacro:
            return "another-macro";
        case MacroEnd::Request:
            return "cancelled";
        case MacroEnd::ClientGone:
            return "client-gone";
        case MacroEnd::Failed:
            return "failed";
        case MacroEnd::Stopping:
            break;
    }
    return "stopping";
}

}  // namespace velmora::bridge

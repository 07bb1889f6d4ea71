#include "tools/controllers/controller_choice.h"

#include <charconv>

#include "tools/commands/key_names.h"

namespace velmora::controllers {

namespace {

std::string_view TrimEnd(std::string_view text)
{
    const std::size_t end = text.find_last_not_of(" \t");
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

bool SameName(std::string_view a, std::string_view b)
{
    return !TrimEnd(a).empty() && velmoractl::SameIgnoringCase(TrimEnd(a), TrimEnd(b));
}

bool Names(const MidiPort& port, std::string_view text)
{
    const std::size_t colon = port.id.find(':');
    const std::string_view clientNumber = std::string_view(port.id).substr(0, colon);
    if (SameName(port.client, text) || SameName(port.name, text) ||
        (colon != std::string::npos && text == clientNumber))
        return true;
    // CLIENT:PORT with the client by its name.
    const std::size_t split = text.rfind(':');
    if (colon == std::string::npos || split == std::string_view::npos) return false;
    return SameName(port.client, text.substr(0, split)) &&
           text.substr(split + 1) == port.id.substr(colon + 1);
}

}  // namespace

std::optional<GamepadChoice> ParseGamepadChoice(std::string_view text, std::string& error)
{
    GamepadChoice choice;
    if (text == "any") return choice;
    int index = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size() || index < 0) {
        error = "--gamepad takes a pad's index (0 the first) or 'any', not '" + std::string(text) + "'";
        return std::nullopt;
    }
    choice.any = false;
    choice.index = index;
    return choice;
}

std::string MidiPortLabel(const MidiPort& port)
{
    std::string label = port.id + " (";
    if (!port.client.empty()) label += std::string(TrimEnd(port.client)) + ": ";
    return label + std::string(TrimEnd(port.name)) + ")";
}

std::optional<std::size_t> FindMidiPort(const std::vector<MidiPort>& ports, std::string_view text,
                                        std::string& error)
{
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (ports[i].id == text) return i;
    }
    std::vector<std::size_t> matches;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (Names(ports[i], text)) matches.push_back(i);
    }
    if (matches.size() == 1) return matches.front();
    std::string list;
    for (std::size_t i : matches) list += ", " + MidiPortLabel(ports[i]);
    if (!matches.empty()) {
        error = "'" + std::string(text) + "' names several MIDI ports (" + list.substr(2) + "): give its id";
        return std::nullopt;
    }
    for (const MidiPort& port : ports) list += ", " + MidiPortLabel(port);
    error = "no MIDI port '" + std::string(text) + "' (" +
            (ports.empty() ? std::string("there is none") : "there are " + list.substr(2)) + ")";
    return std::nullopt;
}

}  // namespace velmora::controllers

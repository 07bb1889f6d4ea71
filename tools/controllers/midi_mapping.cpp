#include "tools/controllers/midi_mapping.h"

#include <charconv>

namespace velmora::controllers {

namespace {

int Slot(const MidiInput& input)
{
    return ((input.channel + 1) * 3 + static_cast<int>(input.kind)) * 128 + input.number;
}

std::optional<int> ParseNumber(std::string_view text, int low, int high)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// The input words of a line: "[channel C] note|cc|program N"; first is set to the word after them.
std::optional<MidiInput> ParseInput(const std::vector<std::string_view>& words, std::size_t& first,
                                    std::string& error)
{
    MidiInput input;
    std::size_t at = 0;
    if (words[0] == "channel") {
        const auto channel = words.size() > 1 ? ParseNumber(words[1], 1, 16) : std::nullopt;
        if (!channel) {
            error = "channel takes a number from 1 to 16";
            return std::nullopt;
        }
        input.channel = *channel - 1;
        at = 2;
    }
    if (at >= words.size()) {
        error = "note, cc or program is missing after the channel";
        return std::nullopt;
    }
    const std::string_view kind = words[at];
    if (kind == "note") {
        input.kind = MidiInputKind::Note;
    } else if (kind == "cc") {
        input.kind = MidiInputKind::Control;
    } else if (kind == "program") {
        input.kind = MidiInputKind::Program;
    } else {
        error = "unknown MIDI input '" + std::string(kind) +
                "' (note N, cc N or program N, after an optional "
                "channel C)";
        return std::nullopt;
    }
    const auto number = at + 1 < words.size() ? ParseNumber(words[at + 1], 0, 127) : std::nullopt;
    if (!number) {
        error = std::string(kind) + " takes a number from 0 to 127";
        return std::nullopt;
    }
    input.number = *number;
    first = at + 2;
    return input;
}

}  // namespace

MidiInput InputOf(const MidiMessage& message)
{
    MidiInput input;
    input.number = message.number;
    input.channel = message.channel;
    switch (message.kind) {
        case MidiMessage::Kind::NoteOff:
        case MidiMessage::Kind::NoteOn:
            input.kind = MidiInputKind::Note;
            break;
        case MidiMessage::Kind::ControlChange:
            input.kind = MidiInputKind::Control;
            break;
        case MidiMessage::Kind::ProgramChange:
            input.kind = MidiInputKind::Program;
            break;
    }
    return input;
}

const ControllerTarget* MidiMapping::Find(const MidiInput& input, MidiInput* matched) const
{
    MidiInput any = input;
    any.channel = -1;
    for (const MidiInput& candidate : {input, any}) {
        if (candidate.channel < -1 || candidate.channel > 15 || candidate.number < 0 ||
            candidate.number > 127)
            continue;
        const auto found = m_targets.find(Slot(candidate));
        if (found == m_targets.end()) continue;
        if (matched) *matched = candidate;
        return &found->second;
    }
    return nullptr;
}

void MidiMapping::Set(const MidiInput& input, const ControllerTarget& target)
{
    if (input.channel < -1 || input.channel > 15 || input.number < 0 || input.number > 127) return;
    m_targets[Slot(input)] = target;
}

std::string MidiInputText(const MidiInput& input)
{
    std::string text = input.channel >= 0 ? "channel " + std::to_string(input.channel + 1) + " " : "";
    switch (input.kind) {
        case MidiInputKind::Note:
            text += "note ";
            break;
        case MidiInputKind::Control:
            text += "cc ";
            break;
        case MidiInputKind::Program:
            text += "program ";
            break;
    }
    return text + std::to_string(input.number);
}

std::string MidiLearnLine(const MidiMapping& mapping, const MidiMessage& message)
{
    MidiInput input = InputOf(message);
    if (const ControllerTarget* target = mapping.Find(input, &input)) {
        return MidiInputText(input) + " " + TargetText(*target);
    }
    input.channel = -1;
    return MidiInputText(input) + (input.kind == MidiInputKind::Program ? " macro NAME" : " KEY");
}

MidiMappingParse ParseMidiMapping(std::string_view text)
{
    MidiMappingParse result;
    std::map<int, int> mappedOn;  // the line of each input's entry
    result.errors = ParseMappingLines(text, [&](int line, const std::vector<std::string_view>& words) {
        std::string error;
        std::size_t first = 0;
        const auto input = ParseInput(words, first, error);
        const auto target = input ? ParseTarget(words, first, error) : std::nullopt;
        if (!target) return error;
        const auto [entry, added] = mappedOn.emplace(Slot(*input), line);
        if (!added)
            return MidiInputText(*input) + " is already mapped on line " + std::to_string(entry->second);
        result.mapping.Set(*input, *target);
        if (target->key < 0) result.macros.push_back({line, target->macro});
        return std::string();
    });
    return result;
}

MidiMappingParse LoadMidiMappingFile(const std::string& path)
{
    return LoadMappingFile(path, &ParseMidiMapping);
}

const MidiMapping& DefaultMidiMapping()
{
    static const MidiMapping mapping = ParseMidiMapping(DefaultMidiMappingText()).mapping;
    return mapping;
}

}  // namespace velmora::controllers

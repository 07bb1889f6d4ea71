#include "tools/bridge/visca_mapping.h"

#include <algorithm>
#include <charconv>

#include "keys/macro.h"
#include "tools/bridge/setting_file.h"
#include "tools/commands/key_names.h"
#include "tools/macros/macro_file.h"

namespace velmora::bridge {

namespace {

struct CommandName {
    std::string_view name;
    ViscaCommand command;
};

constexpr std::array<CommandName, ViscaCommandCount> kCommandNames{{
    {"zoom-tele", ViscaCommand::ZoomTele},
    {"zoom-wide", ViscaCommand::ZoomWide},
    {"zoom-stop", ViscaCommand::ZoomStop},
    {"focus-far", ViscaCommand::FocusFar},
    {"focus-near", ViscaCommand::FocusNear},
    {"focus-stop", ViscaCommand::FocusStop},
    {"pan-tilt-up", ViscaCommand::PanTiltUp},
    {"pan-tilt-down", ViscaCommand::PanTiltDown},
    {"pan-tilt-left", ViscaCommand::PanTiltLeft},
    {"pan-tilt-right", ViscaCommand::PanTiltRight},
    {"pan-tilt-stop", ViscaCommand::PanTiltStop},
    {"menu-on", ViscaCommand::MenuOn},
    {"menu-off", ViscaCommand::MenuOff},
    {"menu-toggle", ViscaCommand::MenuToggle},
    {"wb-auto", ViscaCommand::WbAuto},
    {"wb-one-push", ViscaCommand::WbOnePush},
    {"ae-full-auto", ViscaCommand::AeFullAuto},
    {"memory-recall", ViscaCommand::MemoryRecall},
}};

std::vector<std::string_view> Words(std::string_view line)
{
    line = line.substr(0, line.find('#'));
    std::vector<std::string_view> words;
    constexpr std::string_view blanks = " \t\r";
    for (std::size_t start = line.find_first_not_of(blanks); start != std::string_view::npos;) {
        const std::size_t end = std::min(line.find_first_of(blanks, start), line.size());
        words.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(blanks, end);
    }
    return words;
}

std::string CommandList()
{
    std::string list;
    for (const CommandName& entry : kCommandNames) {
        if (!list.empty()) list += ' ';
        list += entry.name;
    }
    return list;
}

std::optional<int> ParseMemory(std::string_view text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value >= ViscaMemoryCount)
        return std::nullopt;
    return static_cast<int>(value);
}

// The action words of one line: "press KEY", "click KEY" or "release [KEY...]"; error set on failure.
std::optional<ViscaKeyStep> ParseAction(const std::vector<std::string_view>& words, std::size_t first,
                                        std::string& error)
{
    if (first >= words.size()) {
        error = "an action is missing: press KEY, click KEY, release [KEY...], nudge KEY MS or macro NAME";
        return std::nullopt;
    }
    ViscaKeyStep step;
    const std::string_view action = words[first];
    if (action == "macro") {
        if (words.size() != first + 2 || !velmoractl::IsMacroName(words[first + 1])) {
            error = "macro takes the name of a macro of the macros file";
            return std::nullopt;
        }
        step.action = ViscaKeyStep::Action::Macro;
        step.macro = std::string(words[first + 1]);
        return step;
    }
    if (action == "nudge") {
        const KeyDefinition* key =
            words.size() == first + 3 ? velmoractl::FindKeyByName(words[first + 1]) : nullptr;
        const std::optional<int> ms =
            key ? velmoractl::ParseMilliseconds(words[first + 2], MaxMacroWaitMs, "an hour", error)
                : std::nullopt;
        if (!ms) {
            error = "nudge takes a key and a time: nudge KEY MS" + (error.empty() ? "" : " (" + error + ")");
            return std::nullopt;
        }
        step.action = ViscaKeyStep::Action::Nudge;
        step.key = static_cast<int>(key - Keys.data());
        step.ms = *ms;
        return step;
    }
    if (action == "press") {
        step.action = ViscaKeyStep::Action::Press;
    } else if (action == "click") {
        step.action = ViscaKeyStep::Action::Click;
    } else if (action != "release") {
        error = "unknown action '" + std::string(action) + "' (press, click, release, nudge or macro)";
        return std::nullopt;
    }
    const std::size_t keyCount = words.size() - first - 1;
    if (step.action != ViscaKeyStep::Action::Release && keyCount != 1) {
        error = std::string(action) + " takes one key";
        return std::nullopt;
    }
    for (std::size_t i = first + 1; i < words.size(); ++i) {
        const KeyDefinition* key = velmoractl::FindKeyByName(words[i]);
        if (!key) {
            error = "unknown key '" + std::string(words[i]) + "' (" + velmoractl::KeyNameList() + ")";
            return std::nullopt;
        }
        step.key = static_cast<int>(key - Keys.data());
        step.releases.set(static_cast<std::size_t>(step.key));
    }
    if (step.action != ViscaKeyStep::Action::Release) {
        step.releases.reset();
    } else {
        step.key = -1;
        if (keyCount == 0) step.releases.set();  // whichever key is held
    }
    return step;
}

struct Entry {
    ViscaCommand command;
    int memory = 0;
    std::string name;  // "zoom-tele", "memory-recall 3"
    ViscaKeyStep step;
};

// One line's words; nullopt with error empty for a blank line.
std::optional<Entry> ParseEntry(const std::vector<std::string_view>& words, std::string& error)
{
    if (words.empty()) return std::nullopt;
    const auto found = std::find_if(kCommandNames.begin(), kCommandNames.end(),
                                    [&](const CommandName& entry) { return entry.name == words[0]; });
    if (found == kCommandNames.end()) {
        error = "unknown VISCA command '" + std::string(words[0]) + "' (" + CommandList() + ")";
        return std::nullopt;
    }
    Entry entry{found->command, 0, std::string(words[0]), {}};
    std::size_t action = 1;
    if (entry.command == ViscaCommand::MemoryRecall) {
        const auto memory = words.size() > 1 ? ParseMemory(words[1]) : std::nullopt;
        if (!memory) {
            error = "memory-recall takes a memory number from 0 to " + std::to_string(ViscaMemoryCount - 1);
            return std::nullopt;
        }
        entry.memory = *memory;
        entry.name += " " + std::to_string(*memory);
        action = 2;
    }
    const auto step = ParseAction(words, action, error);
    if (!step) return std::nullopt;
    entry.step = *step;
    return entry;
}

}  // namespace

std::vector<int> ViscaStepSlots(const ViscaKeyStep& step, const HeldKeys& held)
{
    if (step.action == ViscaKeyStep::Action::Nudge || step.action == ViscaKeyStep::Action::Macro) return {};
    if (step.action != ViscaKeyStep::Action::Release) {
        if (step.key < 0 || step.key >= KeyCount) return {};
        return KeypadPressSlots(held, step.key, step.action == ViscaKeyStep::Action::Click);
    }
    std::vector<int> slots;
    for (int key : held.KeyIndices()) {
        if (step.releases.test(static_cast<std::size_t>(key))) slots.push_back(2 * key + 1);
    }
    return slots;
}

std::size_t ViscaMapping::Slot(ViscaCommand command, int number)
{
    const auto index = static_cast<std::size_t>(command);
    return command == ViscaCommand::MemoryRecall ? index + static_cast<std::size_t>(number) : index;
}

const ViscaKeyStep* ViscaMapping::Find(ViscaCommand command, int number) const
{
    if (command == ViscaCommand::MemoryRecall && (number < 0 || number >= ViscaMemoryCount)) return nullptr;
    const auto& step = m_steps[Slot(command, number)];
    return step ? &*step : nullptr;
}

void ViscaMapping::Set(ViscaCommand command, int number, const ViscaKeyStep& step)
{
    if (command == ViscaCommand::MemoryRecall && (number < 0 || number >= ViscaMemoryCount)) return;
    m_steps[Slot(command, number)] = step;
}

std::string_view ViscaCommandName(ViscaCommand command)
{
    return kCommandNames[static_cast<std::size_t>(command)].name;
}

ViscaMappingParse ParseViscaMapping(std::string_view text)
{
    text = WithoutUtf8Mark(text);
    ViscaMappingParse result;
    std::array<int, ViscaMapping::SlotCount> mappedOn{};  // the line of each slot's entry, 0: none yet
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        ++lineNumber;
        std::string error;
        if (const auto entry = ParseEntry(Words(line), error)) {
            int& first = mappedOn[ViscaMapping::Slot(entry->command, entry->memory)];
            if (first != 0) {
                error = entry->name + " is already mapped on line " + std::to_string(first);
            } else {
                first = lineNumber;
                result.mapping.Set(entry->command, entry->memory, entry->step);
                if (entry->step.action == ViscaKeyStep::Action::Macro ||
                    entry->step.action == ViscaKeyStep::Action::Nudge)
                    result.mapping.AddMacroUse({lineNumber, entry->step.macro, entry->step.ms});
            }
        }
        if (!error.empty()) result.errors.push_back("line " + std::to_string(lineNumber) + ": " + error);
    }
    return result;
}

ViscaMappingParse LoadViscaMappingFile(const std::string& path)
{
    std::string text;
    std::string problem = ReadSettingFile(path, kViscaMapFileBytes, text);
    if (problem.empty()) return ParseViscaMapping(text);
    ViscaMappingParse result;
    result.fileProblem = std::move(problem);
    return result;
}

const ViscaMapping& DefaultViscaMapping()
{
    static const ViscaMapping mapping = ParseViscaMapping(DefaultViscaMappingText()).mapping;
    return mapping;
}

}  // namespace velmora::bridge

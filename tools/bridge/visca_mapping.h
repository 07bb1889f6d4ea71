// What each VISCA command does on the camera's keypad: the default table, or a mapping file.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keys/held_keys.h"
#include "keys/key_table.h"
#include "tools/bridge/visca_message.h"

namespace velmora::bridge {

// One key action. The keypad holds one key at a time: a press or click first releases every key
// held, except that a press of the key already held sends nothing (a drive repeated at another speed).
// Nudge and Macro run through the bridge's macro engine instead (ViscaStepSlots gives them nothing).
struct ViscaKeyStep {
    enum class Action { Press, Click, Release, Nudge, Macro };
    Action action = Action::Release;
    int key = -1;                    // Press, Click, Nudge: the key's index in Keys
    std::bitset<KeyCount> releases;  // Release: the keys it lets go of, when held
    int ms = 0;                      // Nudge: how long the key stays pressed
    std::string macro;               // Macro: the name of a macro of the macros file

    bool operator==(const ViscaKeyStep& other) const
    {
        return action == other.action && key == other.key && releases == other.releases && ms == other.ms &&
               macro == other.macro;
    }
};

// The slots (0..23, KeySlot order) to send for step, given the keys held when it runs. Run it when
// the step's turn on the camera comes, with the keys held then, and report each slot that went out to
// HeldKeys::Sent.
std::vector<int> ViscaStepSlots(const ViscaKeyStep& step, const HeldKeys& held);

class ViscaMapping {
public:
    // The step of a command (number: the memory of MemoryRecall), or null when it has none.
    const ViscaKeyStep* Find(ViscaCommand command, int number = 0) const;
    void Set(ViscaCommand command, int number, const ViscaKeyStep& step);

    bool operator==(const ViscaMapping& other) const { return m_steps == other.m_steps; }

    // Each macro a step names and each nudge, with its line in the mapping file, for serve to check
    // against its macros file and hold limit.
    struct MacroUse {
        int line = 0;
        std::string name;  // empty: a nudge
        int ms = 0;        // a nudge's time
    };
    const std::vector<MacroUse>& Macros() const { return m_macros; }
    void AddMacroUse(MacroUse use) { m_macros.push_back(std::move(use)); }

    // Each command has a slot, each memory of MemoryRecall one of its own.
    static constexpr std::size_t SlotCount = ViscaCommandCount - 1 + ViscaMemoryCount;
    static std::size_t Slot(ViscaCommand command, int number);

private:
    std::array<std::optional<ViscaKeyStep>, SlotCount> m_steps;
    std::vector<MacroUse> m_macros;
};

// The command's name in mapping files and logs: "zoom-tele", ..., "memory-recall".
std::string_view ViscaCommandName(ViscaCommand command);

struct ViscaMappingParse {
    ViscaMapping mapping;
    std::vector<std::string> errors;  // "line N: what is wrong", every bad line; empty when it parsed
    std::string fileProblem;          // the file could not be taken at all: "is not a regular file", ...
};

// The mapping file format (see README): one command a line, "COMMAND [MEMORY] ACTION [KEY...]"
// (or "nudge KEY MS", "macro NAME"),
// '#' comments and blank lines left out, a UTF-8 byte-order mark at the start skipped.
ViscaMappingParse ParseViscaMapping(std::string_view text);
// A regular file of at most kViscaMapFileBytes.
inline constexpr std::size_t kViscaMapFileBytes = 65536;
ViscaMappingParse LoadViscaMappingFile(const std::string& path);

// The default table, and the mapping file that writes it (tools/bridge/visca_map.example).
const ViscaMapping& DefaultViscaMapping();
std::string_view DefaultViscaMappingText();

}  // namespace velmora::bridge

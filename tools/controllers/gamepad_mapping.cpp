#include "tools/controllers/gamepad_mapping.h"

namespace velmora::controllers {

const ControllerTarget* GamepadMapping::Find(int input) const
{
    if (input < 0 || input >= GamepadInputCount) return nullptr;
    const auto& target = m_targets[static_cast<std::size_t>(input)];
    return target ? &*target : nullptr;
}

void GamepadMapping::Set(int input, const ControllerTarget& target)
{
    if (input >= 0 && input < GamepadInputCount) m_targets[static_cast<std::size_t>(input)] = target;
}

GamepadMappingParse ParseGamepadMapping(std::string_view bytes)
{
    GamepadMappingParse result;
    std::string error;
    const auto text = MappingText(bytes, error);
    if (!text) {
        result.errors.push_back("line 1: " + error);
        return result;
    }
    std::array<int, GamepadInputCount> mappedOn{};  // the line of each input's entry, 0: none yet
    int lineNumber = 0;
    for (std::string_view rest = *text; !rest.empty();) {
        const std::size_t newline = rest.find('\n');
        const std::string_view line = rest.substr(0, newline);
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
        ++lineNumber;
        const std::vector<std::string_view> words = LineWords(line);
        if (words.empty()) continue;
        error.clear();
        const int input = FindGamepadInput(words[0]);
        if (input < 0) {
            error = "unknown button or axis '" + std::string(words[0]) + "' (" + GamepadInputNames() + ")";
        } else if (const auto target = ParseTarget(words, 1, error)) {
            int& first = mappedOn[static_cast<std::size_t>(input)];
            if (first != 0) {
                error = std::string(GamepadInputName(input)) + " is already mapped on line " +
                        std::to_string(first);
            } else {
                first = lineNumber;
                result.mapping.Set(input, *target);
                if (target->key < 0) result.macros.push_back({lineNumber, target->macro});
            }
        }
        if (!error.empty()) result.errors.push_back("line " + std::to_string(lineNumber) + ": " + error);
    }
    return result;
}

GamepadMappingParse LoadGamepadMappingFile(const std::string& path)
{
    const auto text = ReadWholeFile(path);
    if (!text) {
        GamepadMappingParse result;
        result.errors.push_back("cannot be read");
        return result;
    }
    return ParseGamepadMapping(*text);
}

const GamepadMapping& DefaultGamepadMapping()
{
    static const GamepadMapping mapping = ParseGamepadMapping(DefaultGamepadMappingText()).mapping;
    return mapping;
}

}  // namespace velmora::controllers

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

GamepadMappingParse ParseGamepadMapping(std::string_view text)
{
    GamepadMappingParse result;
    std::array<int, GamepadInputCount> mappedOn{};  // the line of each input's entry, 0: none yet
    result.errors = ParseMappingLines(text, [&](int line, const std::vector<std::string_view>& words) {
        const int input = FindGamepadInput(words[0]);
        if (input < 0)
            return "unknown button or axis '" + std::string(words[0]) + "' (" + GamepadInputNames() + ")";
        std::string error;
        const auto target = ParseTarget(words, 1, error);
        if (!target) return error;
        int& first = mappedOn[static_cast<std::size_t>(input)];
        if (first != 0)
            return std::string(GamepadInputName(input)) + " is already mapped on line " +
                   std::to_string(first);
        first = line;
        result.mapping.Set(input, *target);
        if (target->key < 0) result.macros.push_back({line, target->macro});
        return std::string();
    });
    return result;
}

GamepadMappingParse LoadGamepadMappingFile(const std::string& path)
{
    return LoadMappingFile(path, &ParseGamepadMapping);
}

const GamepadMapping& DefaultGamepadMapping()
{
    static const GamepadMapping mapping = ParseGamepadMapping(DefaultGamepadMappingText()).mapping;
    return mapping;
}

}  // namespace velmora::controllers

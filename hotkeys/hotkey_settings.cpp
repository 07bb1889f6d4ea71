#include "hotkeys/hotkey_settings.h"

#include "tools/commands/key_names.h"
#include "tools/macros/macro_file.h"

namespace velmora {

namespace {

constexpr std::size_t kShownLineLength = 80;

std::string_view TrimmedLine(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// QSettings quotes a value that starts or ends with a space.
std::string_view Unquoted(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

std::optional<bool> ParseBool(std::string_view value)
{
    for (const char* yes : {"true", "1", "yes", "on"}) {
        if (velmoractl::SameIgnoringCase(value, yes)) return true;
    }
    for (const char* no : {"false", "0", "no", "off"}) {
        if (velmoractl::SameIgnoringCase(value, no)) return false;
    }
    return std::nullopt;
}

int KeyIndex(const KeyDefinition* key)
{
    return key ? static_cast<int>(key - Keys.data()) : -1;
}

class Reader {
public:
    SettingsFileRead Read(std::string_view text)
    {
        int lineNumber = 0;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            ++lineNumber;
            ReadLine(lineNumber, line);
        }
        return std::move(m_read);
    }

private:
    enum class Section { Other, Hotkeys, Macros, Window };

    void ReadLine(int number, std::string_view line)
    {
        const std::string_view content = TrimmedLine(line);
        if (content.empty() || content.front() == ';' || content.front() == '#') return;
        if (content.front() == '[') {
            if (content.back() != ']') return Problem(number, line, "a section name without its ']'");
            const std::string_view name = TrimmedLine(content.substr(1, content.size() - 2));
            m_section = velmoractl::SameIgnoringCase(name, "hotkeys")  ? Section::Hotkeys
                        : velmoractl::SameIgnoringCase(name, "macros") ? Section::Macros
                        : velmoractl::SameIgnoringCase(name, "window") ? Section::Window
                                                                       : Section::Other;
            return;
        }
        const std::size_t equals = content.find('=');
        if (equals == std::string_view::npos) return Problem(number, line, "not a setting (no '=')");
        const std::string_view name = TrimmedLine(content.substr(0, equals));
        const std::string_view value = Unquoted(TrimmedLine(content.substr(equals + 1)));
        if (m_section == Section::Hotkeys) return ReadHotkey(number, line, name, value);
        if (m_section == Section::Macros) return ReadMacro(number, line, name, value);
        if (m_section == Section::Window && velmoractl::SameIgnoringCase(name, "hide-message-shown")) {
            if (const auto shown = ParseBool(value)) {
                m_read.settings.hideMessageShown = *shown;
            } else {
                Problem(number, line, "hide-message-shown takes true or false");
            }
        }
    }

    void ReadHotkey(int number, std::string_view line, std::string_view name, std::string_view value)
    {
        HotkeySettings& settings = m_read.settings;
        if (velmoractl::SameIgnoringCase(name, "enabled")) {
            if (const auto enabled = ParseBool(value)) {
                settings.enabled = *enabled;
            } else {
                Problem(number, line, "enabled takes true or false");
            }
            return;
        }
        const int keyIndex = KeyIndex(velmoractl::FindKeyByName(name));
        if (keyIndex < 0) {
            return Problem(
                number, line,
                "no key is named \"" + std::string(name) + "\" (" + velmoractl::KeyNameList() + ")");
        }
        KeyHotkey& key = settings.keys[static_cast<std::size_t>(keyIndex)];
        key = {true, std::nullopt};
        if (value.empty()) return;
        std::string error;
        const std::optional<Combination> combination = ParseCombination(value, error);
        if (!combination) return Problem(number, line, error);
        if (const std::string other = Holder(*combination, keyIndex, {}); !other.empty())
            return Problem(number, line, CombinationText(*combination) + " is already on " + other);
        key.combination = combination;
    }

    // A macro's combination: "wide=Ctrl+Alt+F1"; empty: none.
    void ReadMacro(int number, std::string_view line, std::string_view name, std::string_view value)
    {
        std::vector<MacroHotkey>& macros = m_read.settings.macros;
        if (!velmoractl::IsMacroName(name))
            return Problem(number, line, "a macro's name is 1 to 64 letters, digits, '-', '_' and '.'");
        for (auto each = macros.begin(); each != macros.end(); ++each) {
            if (velmoractl::SameIgnoringCase(each->name, name)) {
                macros.erase(each);  // the later line wins, as for a key
                break;
            }
        }
        if (value.empty()) return;
        std::string error;
        const std::optional<Combination> combination = ParseCombination(value, error);
        if (!combination) return Problem(number, line, error);
        if (const std::string other = Holder(*combination, -1, name); !other.empty())
            return Problem(number, line, CombinationText(*combination) + " is already on " + other);
        if (macros.size() >= MaxMacroHotkeys)
            return Problem(number, line,
                           "at most " + std::to_string(MaxMacroHotkeys) + " macros have a combination");
        macros.push_back({std::string(name), *combination});
    }

    // The key ("zoom-in") or macro ("macro wide") other than keyIndex or macro that has combination.
    std::string Holder(const Combination& combination, int keyIndex, std::string_view macro) const
    {
        const HotkeySettings& settings = m_read.settings;
        for (std::size_t other = 0; other < settings.keys.size(); ++other) {
            if (static_cast<int>(other) != keyIndex && settings.keys[other].combination == combination)
                return std::string(HotkeySettingName(static_cast<int>(other)));
        }
        for (const MacroHotkey& other : settings.macros) {
            if (other.combination == combination && !velmoractl::SameIgnoringCase(other.name, macro))
                return "macro " + other.name;
        }
        return {};
    }

    void Problem(int number, std::string_view line, std::string reason)
    {
        std::string shown(line.substr(0, kShownLineLength));
        for (char& c : shown) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
        }
        if (line.size() > kShownLineLength) shown += "...";
        m_read.problems.push_back({number, std::move(shown), std::move(reason)});
    }

    Section m_section = Section::Other;
    SettingsFileRead m_read;
};

}  // namespace

SettingsFileRead ReadHotkeySettings(std::string_view text)
{
    return Reader().Read(text);
}

std::string ProblemText(const SettingsProblem& problem)
{
    return "line " + std::to_string(problem.line) + ": " + problem.text + ": " + problem.reason;
}

std::array<std::optional<Combination>, KeyCount> EffectiveCombinations(const HotkeySettings& settings)
{
    std::array<std::optional<Combination>, KeyCount> combinations{};
    const std::array<Combination, KeyCount> suggested = SuggestedCombinations();
    for (std::size_t i = 0; i < combinations.size(); ++i) {
        if (settings.keys[i].set) combinations[i] = settings.keys[i].combination;
    }
    for (std::size_t i = 0; i < combinations.size(); ++i) {
        if (settings.keys[i].set) continue;
        bool taken = false;
        for (const KeyHotkey& key : settings.keys) taken = taken || key.combination == suggested[i];
        for (const MacroHotkey& macro : settings.macros) taken = taken || macro.combination == suggested[i];
        if (!taken) combinations[i] = suggested[i];
    }
    return combinations;
}

std::string_view HotkeySettingName(int keyIndex)
{
    if (keyIndex < 0 || keyIndex >= KeyCount) return {};
    return velmoractl::ShortKeyName(Keys[static_cast<std::size_t>(keyIndex)]);
}

}  // namespace velmora

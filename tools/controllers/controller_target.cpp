#include "tools/controllers/controller_target.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "keys/key_table.h"
#include "tools/commands/key_names.h"

namespace velmora::controllers {

std::string TargetText(const ControllerTarget& target)
{
    if (target.key >= 0 && target.key < KeyCount)
        return std::string(velmoractl::ShortKeyName(Keys[target.key]));
    return "macro " + target.macro;
}

std::vector<std::string_view> LineWords(std::string_view line)
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

std::optional<ControllerTarget> ParseTarget(const std::vector<std::string_view>& words, std::size_t first,
                                            std::string& error)
{
    const std::size_t count = first < words.size() ? words.size() - first : 0;
    if (count == 0) {
        error = "a key or 'macro NAME' is missing";
        return std::nullopt;
    }
    ControllerTarget target;
    if (words[first] == "macro") {
        if (count != 2) {
            error = "macro takes one name";
            return std::nullopt;
        }
        target.macro = std::string(words[first + 1]);
        return target;
    }
    const KeyDefinition* key = velmoractl::FindKeyByName(words[first]);
    if (!key) {
        error = "unknown key '" + std::string(words[first]) + "' (" + velmoractl::KeyNameList() +
                ", or macro NAME)";
        return std::nullopt;
    }
    if (count != 1) {
        error = "one key only: '" + std::string(words[first + 1]) + "' is one too many";
        return std::nullopt;
    }
    target.key = static_cast<int>(key - Keys.data());
    return target;
}

std::vector<std::string> ParseMappingLines(std::string_view bytes, const MappingLineParser& parseLine)
{
    const bool utf16Mark = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                                 (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
    if (utf16Mark || bytes.find('\0') != std::string_view::npos)
        return {"line 1: this is UTF-16 text (or holds a NUL byte): save it as UTF-8"};
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (bytes.substr(0, bom.size()) == bom) bytes.remove_prefix(bom.size());
    std::vector<std::string> errors;
    int number = 0;
    while (!bytes.empty()) {
        const std::size_t newline = bytes.find('\n');
        const std::string_view line = bytes.substr(0, newline);
        bytes = newline == std::string_view::npos ? std::string_view() : bytes.substr(newline + 1);
        ++number;
        const std::vector<std::string_view> words = LineWords(line);
        if (words.empty()) continue;
        const std::string error = parseLine(number, words);
        if (!error.empty()) errors.push_back("line " + std::to_string(number) + ": " + error);
    }
    return errors;
}

std::optional<std::string> ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return std::nullopt;
    return text;
}

}  // namespace velmora::controllers

// What an input of a gamepad or a MIDI controller is mapped to, and the mapping files' common ground:
// one entry a line, '#' comments, every bad line named.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::controllers {

// A key (its index in Keys) or a macro by name, which the front end resolves against its macros file.
struct ControllerTarget {
    int key = -1;       // -1 for a macro
    std::string macro;  // the macro's name when key is -1

    bool operator==(const ControllerTarget& other) const { return key == other.key && macro == other.macro; }
    bool operator!=(const ControllerTarget& other) const { return !(*this == other); }
};

// "zoom-in", "macro wide".
std::string TargetText(const ControllerTarget& target);

// A macro a mapping file names, with its line, so that the front end can name the line of one its
// macros file lacks.
struct MacroUse {
    int line = 0;
    std::string name;

    bool operator==(const MacroUse& other) const { return line == other.line && name == other.name; }
};

// The words of a line, without its '#' comment; blanks are spaces, tabs and a CR.
std::vector<std::string_view> LineWords(std::string_view line);

// words[first...]: a key name of velmoractl's, or "macro NAME". nullopt with error when it is neither.
std::optional<ControllerTarget> ParseTarget(const std::vector<std::string_view>& words, std::size_t first,
                                            std::string& error);

// Hands each line of a mapping file that has words (blank and comment lines left out) to parseLine
// with its number (1 the first); what parseLine returns, when not empty, is what is wrong with it.
// Returns every such error as "line N: ...". A UTF-8 byte-order mark is skipped; UTF-16 (its mark, or
// a NUL byte anywhere) is refused as a whole, as line 1.
using MappingLineParser = std::function<std::string(int line, const std::vector<std::string_view>& words)>;
std::vector<std::string> ParseMappingLines(std::string_view bytes, const MappingLineParser& parseLine);

// The whole of a file; nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// A mapping file read and parsed; errors "cannot be read" when it cannot be read.
template <typename Parse>
Parse LoadMappingFile(const std::string& path, Parse (*parse)(std::string_view))
{
    const auto text = ReadWholeFile(path);
    if (!text) {
        Parse result;
        result.errors.push_back("cannot be read");
        return result;
    }
    return parse(*text);
}

}  // namespace velmora::controllers

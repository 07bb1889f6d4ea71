// What an input of a gamepad or a MIDI controller is mapped to, and the mapping files' common ground:
// one entry a line, '#' comments, every bad line named.
#pragma once

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

// A mapping file's text as its lines: a UTF-8 byte-order mark dropped; UTF-16 (its mark, or a NUL
// byte anywhere) refused with error set.
std::optional<std::string_view> MappingText(std::string_view bytes, std::string& error);

// The whole of a file; nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace velmora::controllers

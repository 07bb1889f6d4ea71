// The macros file, one for every front end. "[NAME]" starts a macro; each line after it is one step:
// "press KEY", "release [KEY]", "click KEY", "nudge KEY MS", "wait MS" or "macro NAME" (the steps of
// another macro); '#' starts a comment; blank lines are left out. Keys are named as velmoractl
// names them. The whole file is checked before any of it runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keys/macro.h"

namespace velmoractl {

struct MacroProblem {
    int line = 0;  // 1 = the first line; 0: the file as a whole
    std::string message;
};

struct MacroFile {
    velmora::MacroBook book;             // empty when there is any problem: a bad file runs nothing
    std::vector<MacroProblem> problems;  // every bad line, in line order
};

// Reads the bytes of a macros file: UTF-8 (a byte-order mark skipped, CRLF line ends taken), UTF-16
// refused as batch files are. Bad: an unknown step, key or macro; a time that is not 1 ms or more,
// a wait over an hour, a nudge over holdLimitMs; a key with a release that stays pressed longer
// than holdLimitMs (waits counted), or when its macro ends; a release with no key pressed; a name
// given twice, or not 1 to 64 letters, digits, '-', '_' and '.'; a macro without steps; a macro
// that calls itself, through others or not; calls nested deeper than 16, or more than
// velmora::MaxMacroSteps steps in all.
MacroFile ParseMacroFile(std::string_view bytes, int holdLimitMs = velmora::DefaultMacroHoldLimitMs);

bool IsMacroName(std::string_view name);

// A time in milliseconds, 1 to maximum (decimal digits); nullopt with error set otherwise, limit
// naming the maximum ("the hold limit").
std::optional<int> ParseMilliseconds(std::string_view word, int maximum, const std::string& limit,
                                     std::string& error);

}  // namespace velmoractl

// A batch: commands one a line, in the command line's own syntax, read and checked as a whole
// before any of them runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli_failure.h"
#include "tools/cli_options.h"
#include "tools/commands/command_table.h"

namespace velmoractl {

struct BatchLine {
    int number = 0;  // 1 = the first line of the input
    Options options;
    const CommandSpec* command = nullptr;
};

struct BatchProblem {
    int number = 0;
    std::string command;  // the command word, when the line has one
    Failure failure;
};

struct BatchScript {
    std::vector<BatchLine> lines;  // blank and comment lines left out
    std::vector<BatchProblem> problems;
};

// Splits a line into words as a shell does for plain words and quotes: '...' keeps everything,
// "..." keeps everything but \" and \\, a backslash elsewhere keeps the next character, and a #
// at the start of a word ends the line. nullopt with error for an unfinished quote or a NUL byte
// anywhere in the line.
std::optional<std::vector<std::string>> SplitWords(const std::string& line, std::string& error);

// The text of a batch file as read: a UTF-8 byte-order mark (Notepad's) dropped. UTF-16 (its mark
// FF FE or FE FF, or without one a zero byte beside the first character, as PowerShell 5 writes
// it) is refused: nullopt, with encoding "UTF-16LE" or "UTF-16BE".
std::optional<std::string_view> BatchText(std::string_view bytes, std::string& encoding);

// Every line of text, checked as the command line is checked (options on a line: --param and
// --command only; no batch or watch).
BatchScript ParseBatch(std::string_view text);

}  // namespace velmoractl

// A batch: commands one a line, in the command line's own syntax, read and checked as a whole
// before any of them runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/batch_text.h"
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

// Every line of text, checked as the command line is checked (options on a line: --param and
// --command only; no batch or watch).
BatchScript ParseBatch(std::string_view text);

}  // namespace velmoractl

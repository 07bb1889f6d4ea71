// The commands: their synopsis, help text and runner.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/commands/command_context.h"

namespace velmoractl {

struct CommandSpec {
    std::string_view name;
    std::string_view synopsis;  // "read ADDR [--param P] [--command C]"
    std::string_view summary;   // one line
    std::string_view details;   // what it does, with examples
    int minOperands;
    int maxOperands;
    bool registerOptions;  // accepts --param and --command
    bool needsDevice;
    bool inBatch;          // may stand on a line of a batch
    CommandRunner run;     // null for batch, which runs the others
    CommandChecker check;  // null when the operand counts say all
};

const std::vector<CommandSpec>& CommandTable();
const CommandSpec* FindCommand(std::string_view name);

// What is wrong with the operand count and the options of a command line; empty when nothing.
// (CommandSpec::check looks at the operands themselves.)
std::string CheckArguments(const CommandSpec& command, const Options& options);

// The whole --help text, and one command's.
std::string GeneralHelp();
std::string CommandHelp(const CommandSpec& command);
// "usage: velmoractl [OPTIONS] read ADDR [--param P] [--command C]".
std::string UsageLine(const CommandSpec* command);

}  // namespace velmoractl

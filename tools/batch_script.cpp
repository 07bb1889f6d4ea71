#include "tools/batch_script.h"

#include <sstream>

namespace velmoractl {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The option given on a line that belongs to the whole batch, or empty.
std::string BatchWideOption(const Options& options)
{
    if (options.backend) return "--backend";
    if (options.simConfig) return "--sim-config";
    if (options.device) return "--device";
    if (options.macros) return "--macros";
    if (options.trace) return "--trace";
    if (options.json) return "--json";
    if (options.keepGoing) return "--keep-going";
    if (options.help) return "--help";
    return {};
}

// command: the command word, once the words parse as a command line.
std::optional<BatchLine> ParseLine(const std::vector<std::string>& words, std::string& command,
                                   std::string& error)
{
    BatchLine line;
    const auto options = ParseCommandLine(words, error);
    if (!options) return std::nullopt;
    line.options = *options;
    command = line.options.command;
    if (const std::string option = BatchWideOption(line.options); !option.empty()) {
        error = option + " applies to the whole batch: give it before 'batch'";
        return std::nullopt;
    }
    line.command = FindCommand(line.options.command);
    if (!line.command) {
        error = "unknown command '" + line.options.command + "'";
        return std::nullopt;
    }
    if (!line.command->inBatch) {
        error = line.options.command + " cannot run in a batch";
        return std::nullopt;
    }
    error = CheckArguments(*line.command, line.options);
    if (error.empty() && line.command->check) error = line.command->check(line.options);
    if (!error.empty()) {
        error += "; " + std::string(line.command->synopsis);
        return std::nullopt;
    }
    return line;
}

}  // namespace

std::optional<std::vector<std::string>> SplitWords(const std::string& line, std::string& error)
{
    // Refused wherever it stands (after a backslash, in quotes, in a comment): the run would cut
    // the word at it.
    if (line.find('\0') != std::string::npos) {
        error = "a NUL byte";
        return std::nullopt;
    }
    std::vector<std::string> words;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i == line.size() || line[i] == '#') return words;
        std::string word;
        while (i < line.size() && !IsBlank(line[i])) {
            const char c = line[i++];
            if (c == '\\') {
                if (i < line.size()) word += line[i++];
                continue;
            }
            if (c != '\'' && c != '"') {
                word += c;
                continue;
            }
            bool closed = false;
            while (i < line.size()) {
                const char inner = line[i++];
                if (inner == c) {
                    closed = true;
                    break;
                }
                if (c == '"' && inner == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
                    word += line[i++];
                    continue;
                }
                word += inner;
            }
            if (!closed) {
                error = std::string("no closing ") + c;
                return std::nullopt;
            }
        }
        words.push_back(std::move(word));
    }
}

BatchScript ParseBatch(std::string_view text)
{
    BatchScript script;
    std::istringstream in{std::string(text)};
    int number = 0;
    for (std::string raw; std::getline(in, raw);) {
        ++number;
        // A CRLF line ends before its CR, also after a backslash.
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string error;
        const auto words = SplitWords(raw, error);
        if (words && words->empty()) continue;
        std::optional<BatchLine> line;
        std::string command;
        if (words) line = ParseLine(*words, command, error);
        if (!line) {
            script.problems.push_back(BatchProblem{number, command, UsageFailure(error)});
            continue;
        }
        line->number = number;
        script.lines.push_back(std::move(*line));
    }
    return script;
}

}  // namespace velmoractl

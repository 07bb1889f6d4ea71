#include "tools/cli_options.h"

#include <cctype>
#include <string_view>

namespace velmoractl {

namespace {

// Options that take a value, and where it goes.
std::optional<std::string>* ValueSlot(Options& options, std::string_view name)
{
    if (name == "--backend") return &options.backend;
    if (name == "--sim-config") return &options.simConfig;
    if (name == "--device") return &options.device;
    if (name == "--macros") return &options.macros;
    if (name == "--param") return &options.param;
    if (name == "--command") return &options.commandByte;
    if (name == "--http") return &options.http;
    if (name == "--token-file") return &options.tokenFile;
    if (name == "--hold-limit") return &options.holdLimit;
    if (name == "--idle-limit") return &options.idleLimit;
    if (name == "--visca") return &options.visca;
    if (name == "--visca-map") return &options.viscaMap;
    if (name == "--midi-map") return &options.midiMap;
    if (name == "--gamepad") return &options.gamepad;
    if (name == "--gamepad-map") return &options.gamepadMap;
    if (name == "--midi") return &options.midi;
    return nullptr;
}

// Options that may be given more than once, each value kept.
std::vector<std::string>* ListSlot(Options& options, std::string_view name)
{
    if (name == "--visca-allow") return &options.viscaAllow;
    return nullptr;
}

// --gamepad's value may be left out: the next argument is its value only when it looks like one
// (an index, "any", a negative number that the option then refuses by name).
bool TakesNextAsValue(std::string_view name, const std::string& next)
{
    if (name != "--gamepad") return true;
    const bool number =
        !next.empty() &&
        (std::isdigit(static_cast<unsigned char>(next[0])) ||
         (next.size() > 1 && next[0] == '-' && std::isdigit(static_cast<unsigned char>(next[1]))));
    return number || next == "any";
}

bool* FlagSlot(Options& options, std::string_view name)
{
    if (name == "--trace") return &options.trace;
    if (name == "--json") return &options.json;
    if (name == "--help" || name == "-h") return &options.help;
    if (name == "--raw-command") return &options.rawCommand;
    if (name == "--keep-going") return &options.keepGoing;
    if (name == "--quiet") return &options.quiet;
    if (name == "--no-release-at-start") return &options.noReleaseAtStart;
    return nullptr;
}

}  // namespace

std::optional<Options> ParseCommandLine(const std::vector<std::string>& arguments, std::string& error)
{
    Options options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool looksLikeOption = argument.size() > 1 && argument[0] == '-';
        if (optionsEnded || !looksLikeOption) {
            if (options.command.empty()) {
                options.command = argument;
            } else {
                options.operands.push_back(argument);
            }
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const auto equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (bool* flag = FlagSlot(options, name)) {
            if (equals != std::string::npos) {
                error = "option " + name + " takes no value";
                return std::nullopt;
            }
            *flag = true;
            continue;
        }
        std::optional<std::string>* slot = ValueSlot(options, name);
        std::vector<std::string>* list = ListSlot(options, name);
        if (!slot && !list) {
            error = "unknown option " + name;
            return std::nullopt;
        }
        if (slot && slot->has_value()) {
            error = "option " + name + " given twice";
            return std::nullopt;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size() && TakesNextAsValue(name, arguments[i + 1])) {
            value = arguments[++i];
        } else if (name == "--gamepad") {
            value = "any";
        } else {
            error = "option " + name + " needs a value";
            return std::nullopt;
        }
        if (slot) {
            *slot = std::move(value);
        } else {
            list->push_back(std::move(value));
        }
    }
    return options;
}

}  // namespace velmoractl

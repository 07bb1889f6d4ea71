#include <cstdint>
#include <cstdio>
#include <optional>

#include "tools/cli_number.h"
#include "tools/commands/command_context.h"
#include "xu/register_packet.h"
#include "xu/register_protocol.h"

namespace velmoractl {

namespace {

constexpr std::uint64_t kAny = ~std::uint64_t{0};

struct RegisterRequest {
    std::uint64_t address = 0;
    std::uint64_t param = 0;
    std::uint8_t command = 0;
};

// Numbers of the command line: nullopt with error naming the argument.
std::optional<std::uint64_t> Number(const std::string& what, const std::string& text, std::uint64_t maximum,
                                    std::string& error)
{
    const auto value = ParseNumber(text, maximum, error);
    if (!value) error = what + ": " + error;
    return value;
}

std::optional<RegisterRequest> ParseRequest(const Options& options, std::string& error)
{
    RegisterRequest request;
    const auto address = Number("ADDR", options.operands[0], kAny, error);
    if (!address) return std::nullopt;
    request.address = *address;
    if (options.param) {
        const auto param = Number("--param", *options.param, kAny, error);
        if (!param) return std::nullopt;
        request.param = *param;
    }
    if (options.commandByte) {
        const auto command = Number("--command", *options.commandByte, 0xFF, error);
        if (!command) return std::nullopt;
        request.command = static_cast<std::uint8_t>(*command);
    }
    return request;
}

std::string Hex8(std::uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// DATA, and the rule that a write stays a write: bit 7 of the command byte marks a read, which
// the camera would answer as one and store nothing.
std::optional<std::uint64_t> ParseData(const Options& options, const RegisterRequest& request,
                                       std::string& error)
{
    if (velmora::IsReadCommand(request.command) && !options.rawCommand) {
        error = "--command " + Hex8(request.command) +
                " has bit 7 set, which makes the write a read; give --raw-command to send it as it is";
        return std::nullopt;
    }
    return Number("DATA", options.operands[1], kAny, error);
}

// Warns when value has bits the packet cannot carry.
void WarnTruncated(CommandContext& context, const std::string& what, std::uint64_t value, int bits)
{
    const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
    if ((value & ~mask) == 0) return;
    context.report.Warn(what + " " + NumberText(value) + " has more than " + std::to_string(bits) +
                        " bits: the packet carries " + NumberText(value & mask));
}

std::optional<RegisterRequest> ParseRequest(CommandContext& context)
{
    std::string error;
    const auto request = ParseRequest(context.options, error);
    if (!request) {
        context.report.Fail(UsageFailure(error));
        return std::nullopt;
    }
    WarnTruncated(context, "address", request->address, 32);
    WarnTruncated(context, "param", request->param, 8);
    return request;
}

void Describe(CommandContext& context, const RegisterRequest& request)
{
    context.report.Set("address", static_cast<double>(request.address & 0xFFFFFFFFu));
    context.report.Set("param", static_cast<double>(request.param & 0xFFu));
    context.report.Set("command", request.command);
}

}  // namespace

std::string CheckRead(const Options& options)
{
    std::string error;
    ParseRequest(options, error);
    return error;
}

std::string CheckWrite(const Options& options)
{
    std::string error;
    if (const auto request = ParseRequest(options, error)) ParseData(options, *request, error);
    return error;
}

void RunRead(CommandContext& context)
{
    const auto request = ParseRequest(context);
    if (!request) return;
    Describe(context, *request);
    std::uint64_t value = 0;
    const velmora::Status status =
        velmora::ReadRegister(context.device, request->address, value, request->param, request->command);
    context.report.Set("status", QString::fromStdString(velmora::StatusName(status)));
    if (status != velmora::StatusOk) {
        context.report.Fail(context.RequestFailed("reading register " + Hex32(request->address & 0xFFFFFFFFu),
                                                  status, Channel::ExtensionUnit));
        return;
    }
    context.report.Set("value", static_cast<double>(value));
    context.report.Line("register " + Hex32(request->address & 0xFFFFFFFFu) + " = " + Hex32(value) + " (" +
                        std::to_string(value) + ")");
}

void RunWrite(CommandContext& context)
{
    const auto request = ParseRequest(context);
    if (!request) return;
    std::string error;
    const auto data = ParseData(context.options, *request, error);
    if (!data) {
        context.report.Fail(UsageFailure(error));
        return;
    }
    WarnTruncated(context, "data", *data, 32);
    Describe(context, *request);
    context.report.Set("data", static_cast<double>(*data & 0xFFFFFFFFu));
    const velmora::Status status =
        velmora::WriteRegister(context.device, request->address, *data, request->param, request->command);
    context.report.Set("status", QString::fromStdString(velmora::StatusName(status)));
    if (status != velmora::StatusOk) {
        context.report.Fail(context.RequestFailed("writing register " + Hex32(request->address & 0xFFFFFFFFu),
                                                  status, Channel::ExtensionUnit));
        return;
    }
    context.report.Line("register " + Hex32(request->address & 0xFFFFFFFFu) + " <- " +
                        Hex32(*data & 0xFFFFFFFFu));
}

}  // namespace velmoractl

// What every command gets: the options, the session, the report, and the device to act on.
#pragma once

#include <QJsonArray>
#include <QString>
#include <string>

#include "keys/held_keys.h"
#include "keys/macro.h"
#include "platform/capture_device.h"
#include "tools/cli_failure.h"
#include "tools/cli_options.h"
#include "tools/cli_report.h"
#include "tools/cli_session.h"
#include "tools/xu_probe.h"
#include "xu/register_packet.h"

namespace velmoractl {

struct CommandContext {
    const Options& options;
    Session& session;
    Report& report;
    // The selected device (traced with --trace); null for list and watch.
    velmora::CaptureDevice* device = nullptr;
    // A batch's keys pressed and not yet released, which key updates; null outside a batch.
    velmora::HeldKeys* held = nullptr;
    // A batch's macros, checked before it ran; null outside a batch (or one without macro lines).
    const velmora::MacroBook* macros = nullptr;

    // A failed request on the selected device. An extension-unit transfer that ended with
    // E_INVALIDARG is followed by one more size query, whose answer names the cause.
    Failure RequestFailed(const std::string& action, velmora::Status status, Channel channel) const
    {
        std::optional<SizeQueryAnswer> sizeQuery;
        if (channel == Channel::ExtensionUnit && status == velmora::StatusInvalidArg && device) {
            sizeQuery = ProbeSizeQuery(*device, velmora::RegisterSelector);
        }
        return RequestFailure(session.Subject(), action, status, channel, session.PlatformName(), sizeQuery);
    }
};

using CommandRunner = void (*)(CommandContext&);
// What is wrong with a command's operands and options, found without a device; empty when nothing.
using CommandChecker = std::string (*)(const Options&);

void RunList(CommandContext& context);
void RunKey(CommandContext& context);
void RunRead(CommandContext& context);
void RunWrite(CommandContext& context);
void RunReadString(CommandContext& context);
void RunWriteString(CommandContext& context);
void RunStatus(CommandContext& context);
void RunZoom(CommandContext& context);
void RunWatch(CommandContext& context);
void RunXuInfo(CommandContext& context);
void RunMacro(CommandContext& context);
void RunMacros(CommandContext& context);
void RunWait(CommandContext& context);

// Sends key slot slot (0..23) to the device as the window does, with a line for a person and a
// record (extra, then event, sent, data, status) appended to events; counted into held once it went
// out. False when the write failed, which is then on the report.
bool SendKey(CommandContext& context, int slot, QJsonArray& events, const QJsonObject& extra = {});

// Runs a macro on the device and returns when it has ended, with the records of the slots sent
// (macro_player.cpp). Outside a batch it catches SIGINT, SIGTERM and SIGHUP itself.
QJsonArray PlayMacro(CommandContext& context, const velmora::Macro& macro);

// Releases every key in held on device, oldest press first, with a line each ("released
// Zoom_inButton (放大), left pressed: ..."); after the device vanished (goneAt, its line) they are
// not sent. Returns the records for the batch's closing document.
QJsonArray ReleaseHeldKeys(velmora::HeldKeys& held, velmora::CaptureDevice* device, int goneAt,
                           Report& report);

std::string CheckKey(const Options& options);
std::string CheckRead(const Options& options);
std::string CheckWrite(const Options& options);
std::string CheckWriteString(const Options& options);
std::string CheckMacro(const Options& options);
std::string CheckWait(const Options& options);

}  // namespace velmoractl

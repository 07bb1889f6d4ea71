#include "tools/commands/command_table.h"

#include <algorithm>

namespace velmoractl {

namespace {

constexpr std::string_view kOptions = R"(Options (before or after the command):
  --backend native|sim   the camera backend (default: VELMORA_BACKEND, else native where built)
  --sim-config FILE      the simulated cameras' configuration (stands for VELMORA_SIM_CONFIG)
  --device N|PATH|ID     the device: its index in 'list' (default 0), its id (list --json), or
                         its device path or node
  --trace                print every extension-unit request to standard error, one a line
  --json                 print one JSON document on standard output, errors included
                         (in a batch one compact document a line, each with its line number)
  --keep-going           (batch) run the later commands after a failure
  --macros FILE          (macro, macros, batch, serve) the macros file (default:
                         velmora/macros.txt in the user's configuration folder, as the window
                         reads it)
  -h, --help             this text; 'velmoractl COMMAND --help' explains one command
Numbers are decimal or 0x hexadecimal. The extension unit is addressed as the window does it,
with ExId and Guid from CfgFile/Cfg.ini in the working directory when that file exists.
)";

constexpr std::string_view kExitStatus = R"(Exit status:
  0 success             1 the request failed     2 bad argument         3 no such device
  4 the device vanished 5 permission denied      6 unsupported          7 no size-query answer
  8 checksum mismatch
On failure one line on standard error names the device and the cause (in a batch also the line).
A batch, macro or nudge that fails, or that SIGINT, SIGTERM or SIGHUP interrupts, first
releases the keys it left pressed; interrupted, it then ends by that signal.
)";

constexpr std::string_view kRemoteControl = R"(Remote control (velmoractl serve --help tells all):
  velmoractl [--device N|PATH|ID] serve [--http ADDR:PORT] [--token-file FILE] [--hold-limit S]
                                        [--idle-limit S] [--quiet] [--no-release-at-start]
                                        [--visca ADDR:PORT [--visca-map FILE]
                                        [--visca-allow ADDR[/BITS]]...]
                                        [--gamepad [INDEX|any] [--gamepad-map FILE]]
                                        [--midi PORT [--midi-map FILE]]
listens on 127.0.0.1:8719 unless told otherwise (any other address needs --token-file) and takes
  POST /v1/keys/NAME/press|release|click   (Content-Type: application/json, body {})
  GET  /v1/devices, /v1/keys, /v1/status, /v1/zoom, and the WebSocket /v1/events
With --visca it answers VISCA over IP (UDP) from PTZ controllers too (any address but
loopback needs --visca-allow); --visca alone serves no HTTP. --gamepad and --midi take keys
from a game controller and a MIDI port too.
A key left pressed is released after the hold limit (10 s), and every held key when serve stops.
)";

const std::vector<CommandSpec> kCommands = {
    {"list", "list", "the capture devices as the window lists them, with their index (0 = first)",
     R"(Lists the video capture devices in the window's order, each with the window's label:
the friendly name, four spaces and the VID_vvvv&PID_pppp part of its device path.
Examples:
  velmoractl list
  velmoractl --json list
)",
     0, 0, false, false, true, RunList, nullptr},
    {"key", "key NAME [press|release|click|nudge MS]",
     "send a key as the window does; click = press then release",
     R"(Sends what the window's button sends: the press code on press; on release the release
code for the zoom, focus and lock keys, nothing for the others. click (the default) is a
press followed by a release. nudge MS holds the key MS milliseconds (1 to 10000): its release
goes out MS ms after the press was written; SIGINT, SIGTERM or SIGHUP in between sends the
release at once, then ends velmoractl by that signal.
NAME: live (直播) normal (常规) zoom-in zoom-out focus-in focus-out menu ae awb lock1 lock2
lock3, or the button's object name (NearButton, MENUButton, lock1Button ...).
Examples:
  velmoractl key menu
  velmoractl key zoom-in press; sleep 1; velmoractl key zoom-in release
  velmoractl key zoom-in nudge 300
  velmoractl --device /dev/video2 --trace key lock2
)",
     1, 3, false, true, true, RunKey, CheckKey},
    {"macro", "macro NAME", "run a macro of the macros file: a shot at one touch",
     R"(Runs the macro NAME of the macros file (--macros FILE, else velmora/macros.txt in the
user's configuration folder: ~/.config/velmora/macros.txt on Linux,
%LOCALAPPDATA%\velmora\macros.txt on Windows), step by step on the device, and returns when
it has ended. The whole file is checked first: each bad line is named and nothing is sent.
The file: a line [NAME] starts a macro, each line after it is one step; # starts a comment.
  press KEY        press a key (a key already down is released first: one keypad)
  release [KEY]    release the key pressed
  click KEY        press and release
  nudge KEY MS     press, hold MS milliseconds (1 to 10000), release
  wait MS          pause MS milliseconds (1 to 3600000)
  macro NAME       the steps of another macro
A key stays pressed at most 10 s (waits counted), and no macro ends with a key held.
A failed write or SIGINT, SIGTERM or SIGHUP ends the macro: the key it holds is released
first; a signal then ends velmoractl by that signal.
Example (shots.txt):
  [wide]
  press zoom-out
  wait 8000      # long enough to reach the widest end
  release
  nudge zoom-in 1200
Examples:
  velmoractl --macros shots.txt macro wide
  velmoractl macros
)",
     1, 1, false, true, true, RunMacro, CheckMacro},
    {"macros", "macros", "list the macros of the macros file, once it is checked",
     R"(Reads and checks the macros file (--macros FILE, else the default one; see
'velmoractl macro --help') and lists each macro: its name, its steps, the time its waits and
nudges take, and its line. Each bad line is named (exit 2).
Example:
  velmoractl --macros shots.txt macros
)",
     0, 0, false, false, false, RunMacros, nullptr},
    {"read", "read ADDR [--param P] [--command C]", "read one register",
     R"(Reads one register with a checksummed 12-byte request and prints its value. The read
sets bit 7 of the command byte (default 0), which marks a read. Only bits 31..0 of ADDR and bits 7..0 of P go
on the wire; a warning says when bits were dropped.
Examples:
  velmoractl read 0x178 --param 1
  velmoractl read 228 --command 0x20
)",
     1, 1, true, true, true, RunRead, CheckRead},
    {"write", "write ADDR DATA [--param P] [--command C] [--raw-command]", "write one register",
     R"(Writes DATA to one register (command byte default 0, sent unchanged). Only bits 31..0
of ADDR and DATA and bits 7..0 of P go on the wire; a warning says when bits were dropped.
A command byte with bit 7 set (0x80 and up) would make the packet a read: it is refused
(exit 2) unless --raw-command says to send it as it is.
Examples:
  velmoractl write 1 0x05 --command 0x16      (the menu key's press)
  velmoractl --trace write 0x100000001 7
)",
     2, 2, true, true, true, RunWrite, CheckWrite},
    {"read-string", "read-string", "read the camera's text (registers 228 and 229)",
     R"(Reads the text the camera holds: its length from register 228, then one byte at a time
from register 229, up to the first zero byte.
Example:
  velmoractl read-string
)",
     0, 0, false, true, true, RunReadString, nullptr},
    {"write-string", "write-string TEXT", "write a text through registers 228 to 230",
     R"(Writes TEXT: a start write to register 228, one write per character to register 229 and
an end write with the length to register 230. Characters travel as Latin-1; those above
U+00FF travel as '?'.
Example:
  velmoractl write-string "Studio A"
)",
     1, 1, false, true, true, RunWriteString, CheckWriteString},
    {"status", "status", "the 24 status registers, address and value",
     R"(Reads the status registers 376 to 399 (param 1, command 0x00) as the window does at
start-up, and prints each address with its value, or the cause of its failure.
Example:
  velmoractl --json status
)",
     0, 0, false, true, true, RunStatus, nullptr},
    {"zoom", "zoom", "the current zoom value, minimum, maximum and step",
     R"(Asks the camera control for the zoom value and its range, as the window does at start-up,
and shows the camera's own 32-bit values. The window keeps the low 16 bits of each (signed);
a second line names each value that reads otherwise there (JSON: fitsWindow, window).
Example:
  velmoractl zoom
)",
     0, 0, false, true, true, RunZoom, nullptr},
    {"watch", "watch", "print each device arrival and removal until interrupted",
     R"(Prints one line per capture-device arrival or removal (with --json one JSON object per
line, and a closing one) until SIGINT (Ctrl+C) or SIGTERM, then exits 0. A line on standard
error says when it is listening.
Example:
  velmoractl watch
)",
     0, 0, false, false, false, RunWatch, nullptr},
    {"xu-info", "xu-info", "the camera's extension units, and which one requests reach",
     R"(Lists the extension units of the camera (node or unit id, GUID, controls) and marks the
one that requests with the current ExId and Guid reach. Put the right values under
[UvcExten] in CfgFile/Cfg.ini when none is marked.
Example:
  velmoractl --device 1 xu-info
)",
     0, 0, false, true, true, RunXuInfo, nullptr},
    {"serve", "serve [--http ADDR:PORT] [--visca ADDR:PORT] [--gamepad] [--midi PORT] ...",
     "the keys over HTTP, WebSocket, VISCA over IP, gamepads and MIDI, until interrupted",
     R"(Holds the camera and takes key presses over the network until SIGINT (Ctrl+C), SIGTERM,
SIGHUP (unless started ignored, as under nohup) or, on Windows, Ctrl+Break; then releases every
held key and exits 0. One backend, one enumeration and one Cfg.ini load for the whole run; the
device is the one --device names (by index, id or path), else the first camera, and plugging and
pulling are followed. Before serving it sends the camera one key release, for a key a run that
was killed left pressed.
  --http ADDR:PORT       where to listen (default 127.0.0.1:8719; [::1]:8719 for IPv6;
                         port 0 picks a free one, shown on standard error)
  --token-file FILE      the first line of FILE (at most 1024 bytes) is a token every request
                         must carry as Authorization: Bearer TOKEN; needed for any address
                         but loopback; keep FILE unreadable to others (chmod 600)
  --hold-limit SECONDS   a pressed key not released within this time is released (default 10)
  --idle-limit SECONDS   time to send a whole request, and the longest idle time between
                         requests of a connection (default 30)
  --quiet                no line per request, datagram or controller action on standard error
  --no-release-at-start  send no release at start (a camera a running window shares)
  --visca ADDR:PORT      answer VISCA over IP (UDP) there too, such as 127.0.0.1:52381
                         ([::]:52381 hears IPv6 and IPv4); without --http, no HTTP at all
  --visca-map FILE       the VISCA commands' keys from FILE (see visca_map.example in the
                         documentation) instead of the default table; bad lines stop serve
  --visca-allow ADDR[/BITS]  answer only these senders (repeatable); needed for any --visca
                         address but loopback; other senders are dropped and counted
  --gamepad [INDEX|any]  keys from a game controller too: the pad at INDEX (0 the first) or,
                         by default, any: the first pad, waited for; when it goes, the next
  --gamepad-map FILE     the pad's buttons, sticks and triggers from FILE (see
                         gamepad_map.example) instead of the default table
  --midi PORT            keys from a MIDI input port too: its client:port or name as
                         aconnect -l shows it (Windows: its number or name)
  --midi-map FILE        the notes and controllers from FILE (see midi_map.example); by
                         default the twelve keys are on notes 60 to 71
A mapping file's bad lines stop serve, each one named; so do a pad index or a port that is not
there, and a macro target the macros file (--macros) has not. A pad pulled or a port that goes
away releases the key it held at once, and cancels the macro it started.
The API (JSON answers; every key answer names the packets sent, or the failure):
  GET  /v1/devices                     the devices, with their ids
  GET  /v1/keys                        the twelve keys
  POST /v1/keys/NAME/press|release|click   a key; body {} or {"device": "ID"}, sent as
                                       Content-Type: application/json
  GET  /v1/status[?device=D]           the 24 status registers
  GET  /v1/zoom[?device=D]             the zoom value and range
  POST /v1/keys/NAME/nudge             press, hold {"ms": MS} (up to the hold limit), release
  GET  /v1/macros                      the macros of --macros FILE (else the default file)
  POST /v1/macros/NAME                 runs one, answered when it has finished; a key pressed
                                       on its camera, another macro or serve stopping cancels it
  DELETE /v1/macros/running            cancels the macro running (its key released first)
  GET  /v1/events                      a WebSocket: device arrivals and removals, every key
                                       sent, holds released, macro steps; it takes {"key": NAME,
                                       "action": ACTION} and {"macro": NAME} too, and releases
                                       what it pressed when it closes
Statuses: 200 done, 400 bad request or body, 401 no or wrong token, 403 foreign Host or
Origin, 404 unknown path, key, action or device, 405 wrong method, 410 device gone,
413/431 body/header too large, 415 body not JSON, 502 the camera refused, 503 busy.
The Host header must name the address served or localhost; requests from web pages of
other origins are refused; at most 64 connections, 16 from one address; bodies up to 4 KiB,
headers 8 KiB; a connection's first request within 10 s.
VISCA (bare or after the 8-byte VISCA-over-IP header; replies in the same framing):
zoom tele/wide/stop, focus far/near/stop, pan-tilt drive (the direction pad: zoom-in,
zoom-out, focus-in, focus-out) and stop, menu, WB auto and one-push, AE full auto and
memory recall 0 to 4 (live normal lock1 lock2 lock3) become key presses and clicks, one
key held at a time; inquiries of power, version and zoom position are answered. ACK and
Completion when done, syntax error for what it does not know, not executable without a
camera, buffer full when 256 requests wait. A retransmission (same sequence number and
message) is answered again, not acted on twice. One line per datagram on standard error,
at most 20 a second (the rest counted each second).
Examples:
  velmoractl serve
  curl -X POST -H 'Content-Type: application/json' -d '{}' http://127.0.0.1:8719/v1/keys/menu/click
  velmoractl --device 046d-0825-9c3e51a0 serve --http 0.0.0.0:8719 --token-file ~/.config/velmora/token
  velmoractl serve --visca 0.0.0.0:52381 --visca-allow 192.168.10.0/24
  velmoractl serve --gamepad --midi 20:0
)",
     0, 0, false, false, false, nullptr, nullptr},
    {"batch", "batch [FILE|-] [--keep-going]", "run the commands of FILE (or standard input), one a line",
     R"(Runs commands one a line, in the command line's own syntax (key menu, read 0x178 --param 1,
write-string "Studio A"), against one device: one enumeration, one Cfg.ini load. Blank lines
and lines starting with # are left out; quotes and backslashes work as in a shell. The input
is UTF-8 (a byte-order mark is skipped, CRLF line ends work); UTF-16 is refused (exit 2): save
it as UTF-8. The whole input is read and checked first: bad lines (a NUL byte among them) are
reported with their line numbers and nothing is sent. Each command prints what it prints alone (with --json one compact document a line,
with "line"). The first failure stops the batch with that command's exit status and names
its line; with --keep-going the rest run and the exit status is the first failure's. After
the device vanished the later commands are not sent and fail as device-gone.
A batch that fails, or that SIGINT, SIGTERM or SIGHUP interrupts (Ctrl-C or Ctrl-Break in a
Windows console; the command under way finishes first), releases every key it pressed and did
not release, a line each ("released Zoom_inButton (放大), left pressed: ..."; with --json under
"released" in the closing document); with --keep-going at its end. Interrupted, it then ends by
that signal (Windows: exit status 130); a second signal a second later ends it at once. A batch
that succeeds leaves a pressed key as it is, as 'velmoractl key NAME press' does.
Lines may also be 'key NAME nudge MS', 'wait MS' and 'macro NAME' (from --macros FILE, else
the default macros file, read and checked with the batch before anything runs).
Options on a line: --param and --command only; the others go before 'batch'.
FILE '-' or none: standard input.
Examples:
  velmoractl --device 1 batch rig.txt
  printf 'key zoom-in press\nkey zoom-in release\n' | velmoractl batch
  velmoractl --json --keep-going batch - < checks.txt
)",
     0, 1, false, false, false, nullptr, nullptr},
    {"wait", "wait MS", "(in a batch) pause MS milliseconds",
     R"(In a batch only: pauses MS milliseconds (1 to 3600000) before the next line. SIGINT,
SIGTERM or SIGHUP ends the pause, and the batch, at once.
Example (a batch):
  key zoom-in press
  wait 1500
  key zoom-in release
)",
     1, 1, false, false, true, RunWait, CheckWait},
    {"midi", "midi learn PORT [--midi-map FILE]",
     "print each MIDI message from PORT with the mapping line that binds it",
     R"(Listens to a MIDI controller and prints each note on and off, control change and program
change it sends, with the line of a MIDI mapping file that binds it: the line of the default
mapping or of --midi-map FILE where one does, else the line to write, with KEY (or macro NAME)
to fill in. Press the pads one by one and collect the lines into a file.
PORT: on Linux an ALSA sequencer port as 'aconnect -l' lists it, by client:port (20:0), by
client number, or by the client's or the port's name; on Windows the device's number (0 the
first) or name. A port that does not exist is named with those there are (exit 2); a port that
goes away ends it (exit 4). With --json one compact JSON document a line.
The default mapping: notes 60 to 71 (middle C up) are live normal zoom-in focus-in menu
focus-out zoom-out ae awb lock1 lock2 lock3, in the window's order.
Mapping lines ('#' comments, one input a line):
  [channel C] note N KEY       note on holds KEY, note off lets go
  [channel C] cc N KEY         a value of 64 and up holds KEY, below 38 lets go
  [channel C] program N KEY    clicks KEY; or ... macro NAME to run a macro
Examples:
  velmoractl midi learn 20:0
  velmoractl midi learn 'nanoPAD2' --midi-map pads.txt
)",
     0, 2, false, false, false, nullptr, nullptr},
};

}  // namespace

const std::vector<CommandSpec>& CommandTable()
{
    return kCommands;
}

const CommandSpec* FindCommand(std::string_view name)
{
    for (const CommandSpec& command : kCommands) {
        if (command.name == name) return &command;
    }
    return nullptr;
}

std::string CheckArguments(const CommandSpec& command, const Options& options)
{
    const int count = static_cast<int>(options.operands.size());
    if (count < command.minOperands) return std::string(command.name) + " needs more arguments";
    if (count > command.maxOperands)
        return "unexpected argument '" + options.operands[command.maxOperands] + "'";
    if (!command.registerOptions && (options.param || options.commandByte || options.rawCommand)) {
        const char* option = options.param ? "--param" : options.commandByte ? "--command" : "--raw-command";
        return std::string(option) + " applies to read and write only";
    }
    if (options.keepGoing && command.name != "batch") return "--keep-going applies to batch only";
    if (options.macros && command.name != "macro" && command.name != "macros" && command.name != "batch" &&
        command.name != "serve")
        return "--macros applies to macro, macros, batch and serve only";
    if (options.midiMap && command.name != "midi" && command.name != "serve")
        return "--midi-map applies to midi learn and serve only";
    const bool serveOption = options.http || options.tokenFile || options.holdLimit || options.idleLimit ||
                             options.quiet || options.visca || options.viscaMap ||
                             !options.viscaAllow.empty() || options.noReleaseAtStart || options.gamepad ||
                             options.gamepadMap || options.midi;
    if (serveOption && command.name != "serve") {
        const char* option = options.http               ? "--http"
                             : options.tokenFile        ? "--token-file"
                             : options.holdLimit        ? "--hold-limit"
                             : options.idleLimit        ? "--idle-limit"
                             : options.visca            ? "--visca"
                             : options.viscaMap         ? "--visca-map"
                             : options.quiet            ? "--quiet"
                             : options.noReleaseAtStart ? "--no-release-at-start"
                             : options.gamepad          ? "--gamepad"
                             : options.gamepadMap       ? "--gamepad-map"
                             : options.midi             ? "--midi"
                                                        : "--visca-allow";
        return std::string(option) + " applies to serve only";
    }
    return {};
}

std::string UsageLine(const CommandSpec* command)
{
    if (!command)
        return "usage: velmoractl [OPTIONS] COMMAND [ARGUMENTS]  (velmoractl --help lists the commands)";
    return "usage: velmoractl [OPTIONS] " + std::string(command->synopsis);
}

std::string GeneralHelp()
{
    std::string text =
        "velmoractl: the camera keypad and registers from the command line, through the same layers as "
        "the window.\n\n"
        "usage: velmoractl [OPTIONS] COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const CommandSpec& command : kCommands) {
        std::string synopsis(command.synopsis);
        // A synopsis too long for the column puts its summary on a line of its own.
        if (synopsis.size() > 42) synopsis += "\n" + std::string(44, ' ');
        synopsis.resize(std::max<std::size_t>(synopsis.size(), 42), ' ');
        text += "  " + synopsis + " " + std::string(command.summary) + "\n";
    }
    text +=
        "\n" + std::string(kOptions) + "\n" + std::string(kExitStatus) + "\n" + std::string(kRemoteControl);
    text +=
        "\nExamples:\n"
        "  velmoractl list\n"
        "  velmoractl key menu\n"
        "  velmoractl --backend sim --trace key menu\n"
        "  velmoractl --device 1 read 0x178 --param 1\n"
        "  velmoractl --json status\n"
        "  velmoractl --keep-going batch rig.txt\n"
        "  velmoractl key zoom-in nudge 300\n"
        "  velmoractl --macros shots.txt macro wide\n";
    return text;
}

std::string CommandHelp(const CommandSpec& command)
{
    return UsageLine(&command) + "\n\n" + std::string(command.details) + "\n" + std::string(kOptions);
}

}  // namespace velmoractl

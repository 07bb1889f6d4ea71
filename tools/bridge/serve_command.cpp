#include "tools/bridge/serve_command.h"

#include <algorithm>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/ip/address.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>

#include "tools/bridge/bridge_core.h"
#include "tools/bridge/camera_worker.h"
#include "tools/bridge/gamepad_front.h"
#include "tools/bridge/http_server.h"
#include "tools/bridge/midi_front.h"
#include "tools/bridge/phone_link.h"
#include "tools/bridge/serve_log.h"
#include "tools/bridge/serve_platform.h"
#include "tools/bridge/setting_file.h"
#include "tools/bridge/visca_server.h"
#include "tools/cli_report.h"
#include "tools/macros/macros_load.h"
#include "tools/terminal_text.h"

namespace velmora::bridge {

namespace {

// The requests that may wait for the camera: far more than the clients of a control room.
constexpr std::size_t kQueueCapacity = 256;
constexpr std::size_t kTokenBytes = 1024;
constexpr std::size_t kTokenFileBytes = 65536;

std::optional<std::chrono::milliseconds> Seconds(const std::string& text)
{
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0.05 || seconds > 86400)
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
}

velmoractl::Failure Usage(const std::string& message)
{
    return velmoractl::UsageFailure(message);
}

struct Opened {
    std::optional<velmoractl::Failure> failure;
    std::vector<DeviceInfo> devices;
    std::optional<DeviceInfo> served;
    std::optional<BridgeFailure> notServed;
    std::optional<BridgeFailure> notReleased;  // the release at start failed
};

// The token: the first line of the file, without the spaces around it.
std::string ReadToken(const std::string& path, std::string& token)
{
    std::string bytes;
    if (std::string problem = ReadSettingFile(path, kTokenFileBytes, bytes); !problem.empty()) return problem;
    if (bytes.empty()) return "is empty";
    std::string_view line = WithoutUtf8Mark(bytes);
    line = line.substr(0, line.find('\n'));
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.empty() && blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && blank(line.back())) line.remove_suffix(1);
    if (line.empty()) return "its first line (the token) is empty";
    // A request's header (8 KiB at most) must carry it.
    if (line.size() > kTokenBytes) {
        return "the token (its first line) is " + std::to_string(line.size()) + " bytes long; at most " +
               std::to_string(kTokenBytes);
    }
    token = std::string(line);
    return {};
}

// ADDRESS:PORT as --http and --visca take it: [IPv6]:PORT too, localhost as 127.0.0.1.
std::optional<std::pair<boost::asio::ip::address, unsigned short>> ParseListen(const std::string& text)
{
    const std::size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? std::string() : text.substr(0, colon);
    const std::string port = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host == "localhost") host = "127.0.0.1";
    boost::system::error_code error;
    const auto address = boost::asio::ip::make_address(host, error);
    char* end = nullptr;
    const unsigned long number = std::strtoul(port.c_str(), &end, 10);
    if (error || port.empty() || *end != '\0' || number > 65535) return std::nullopt;
    return std::pair{address, static_cast<unsigned short>(number)};
}

std::optional<velmoractl::Failure> ReadViscaSettings(const velmoractl::Options& options,
                                                     ServeSettings& settings)
{
    if (!options.visca) {
        if (options.viscaMap) return Usage("--visca-map applies with --visca only");
        if (!options.viscaAllow.empty()) return Usage("--visca-allow applies with --visca only");
        return std::nullopt;
    }
    const auto listen = ParseListen(*options.visca);
    if (!listen)
        return Usage("--visca " + *options.visca +
                     ": expected ADDRESS:PORT, such as 127.0.0.1:52381 or [::1]:52381");
    settings.viscaAddress = listen->first.to_string();
    settings.viscaPort = listen->second;
    for (const std::string& text : options.viscaAllow) {
        std::string error;
        const auto rule = ParseViscaAllowRule(text, error);
        if (!rule) return Usage("--visca-allow " + text + ": " + error);
        settings.viscaAllow.push_back(*rule);
    }
    if (const std::string problem = CheckViscaListen(NetAddressOf(listen->first), settings.viscaAllow);
        !problem.empty())
        return Usage("--visca " + *options.visca + ": " + problem);
    if (!options.viscaMap) {
        settings.viscaMapping = DefaultViscaMapping();
        return std::nullopt;
    }
    ViscaMappingParse parsed = LoadViscaMappingFile(*options.viscaMap);
    if (!parsed.fileProblem.empty())
        return Usage("--visca-map " + *options.viscaMap + ": " + parsed.fileProblem);
    for (const std::string& error : parsed.errors)
        settings.mapErrors.push_back(*options.viscaMap + ": " + error);
    if (!parsed.errors.empty()) {
        return Usage("--visca-map " + *options.viscaMap + ": " + std::to_string(parsed.errors.size()) +
                     " bad line(s); serve did not start");
    }
    settings.viscaMapping = std::move(parsed.mapping);
    return std::nullopt;
}

// A gamepad or MIDI mapping file, every bad line in errors; its macro targets, named "FILE: line N",
// in macroUses for the macros file to check.
template <typename Parse>
std::optional<velmoractl::Failure> ReadControllerMap(
    const std::string& option, const std::string& path, Parse (*load)(const std::string&), Parse& parsed,
    std::vector<std::string>& errors, std::vector<std::pair<std::string, controllers::MacroUse>>& macroUses)
{
    parsed = load(path);
    for (const controllers::MacroUse& use : parsed.macros)
        macroUses.emplace_back(path + ": line " + std::to_string(use.line), use);
    if (parsed.errors.size() == 1 && parsed.errors.front() == "cannot be read")
        return Usage(option + " " + path + ": cannot be read");
    for (const std::string& error : parsed.errors) errors.push_back(path + ": " + error);
    if (parsed.errors.empty()) return std::nullopt;
    return Usage(option + " " + path + ": " + std::to_string(parsed.errors.size()) +
                 " bad line(s); serve did not start");
}

std::optional<velmoractl::Failure> ReadControllerSettings(const velmoractl::Options& options,
                                                          ServeSettings& settings)
{
    if (options.gamepadMap && !options.gamepad) return Usage("--gamepad-map applies with --gamepad only");
    if (options.midiMap && !options.midi) return Usage("--midi-map applies with --midi only");
    if (options.gamepad) {
        std::string error;
        settings.gamepad = controllers::ParseGamepadChoice(*options.gamepad, error);
        if (!settings.gamepad) return Usage(error);
        settings.gamepadMapping = controllers::DefaultGamepadMapping();
        if (options.gamepadMap) {
            controllers::GamepadMappingParse parsed;
            if (auto failure = ReadControllerMap("--gamepad-map", *options.gamepadMap,
                                                 &controllers::LoadGamepadMappingFile, parsed,
                                                 settings.mapErrors, settings.controllerMacros))
                return failure;
            settings.gamepadMapping = std::move(parsed.mapping);
        }
    }
    if (options.midi) {
        if (options.midi->empty())
            return Usage("--midi needs a port: its client:port or name as 'aconnect -l' shows it");
        settings.midiPort = *options.midi;
        settings.midiMapping = controllers::DefaultMidiMapping();
        if (options.midiMap) {
            controllers::MidiMappingParse parsed;
            if (auto failure =
                    ReadControllerMap("--midi-map", *options.midiMap, &controllers::LoadMidiMappingFile,
                                      parsed, settings.mapErrors, settings.controllerMacros))
                return failure;
            settings.midiMapping = std::move(parsed.mapping);
        }
    }
    return std::nullopt;
}

// Off loopback with a token: the address a phone opens, for each of the machine's addresses served,
// and the first one as a QR code.
void PrintPhoneLinks(const std::string& listen, unsigned short port, const std::string& token)
{
    const auto address = boost::asio::ip::make_address(listen);
    const std::vector<std::string> addresses =
        address.is_unspecified() ? MachineAddresses(address.is_v6()) : std::vector<std::string>{listen};
    if (addresses.empty()) {
        std::fprintf(stderr, "velmoractl: this machine has no address for phones to open the keypad at\n");
        return;
    }
    Utf8Console();
    std::fprintf(stderr,
                 "velmoractl: the keypad for phones and tablets (the token follows #: keep it private):\n");
    for (const std::string& each : addresses)
        std::fprintf(stderr, "  %s\n", PhoneUrl(each, port, token).c_str());
    const std::string code = TerminalQrCode(PhoneUrl(addresses.front(), port, token));
    if (!code.empty()) std::fprintf(stderr, "%s", code.c_str());
}

// The macros file: --macros FILE, which must be there, or the default file when there is one. Its
// bad lines are named, each on a line of its own; the failure ends serve before it starts.
std::optional<velmoractl::Failure> ReadServeMacros(const velmoractl::Options& options,
                                                   ServeSettings& settings)
{
    const int holdLimit = static_cast<int>(std::min<long long>(settings.holdLimit.count(), MaxNudgeMs));
    const velmoractl::LoadedMacros loaded = velmoractl::LoadMacros(options, holdLimit);
    settings.macrosPath = loaded.path;
    const auto& problems = loaded.file.problems;
    if (problems.empty()) {
        settings.macros = loaded.file.book;
    } else if (options.macros || problems.front().line != 0 ||
               problems.front().message.rfind("no such file", 0) != 0) {
        velmoractl::Report report("serve", options.json);
        velmoractl::ReportMacroProblems(loaded, options.json, report);
        return report.Failed() ? std::optional(*report.FirstFailure()) : std::nullopt;
    }
    for (const ViscaMapping::MacroUse& use : settings.viscaMapping.Macros()) {
        const std::string where = (options.viscaMap ? *options.viscaMap : std::string("--visca-map")) +
                                  ": line " + std::to_string(use.line);
        if (use.name.empty() && use.ms > settings.holdLimit.count())
            return Usage(where + ": the nudge of " + std::to_string(use.ms) +
                         " ms is longer than the hold limit (" + std::to_string(settings.holdLimit.count()) +
                         " ms)");
        if (!use.name.empty() && !settings.macros.Find(use.name))
            return Usage(where + ": no macro " + use.name + " in " + settings.macrosPath);
    }
    for (const auto& [where, use] : settings.controllerMacros) {
        if (!settings.macros.Find(use.name))
            return Usage(where + ": no macro " + use.name + " in " + settings.macrosPath);
    }
    return std::nullopt;
}

}  // namespace

std::optional<velmoractl::Failure> ReadServeSettings(const velmoractl::Options& options,
                                                     ServeSettings& settings)
{
    settings.http = options.http || !options.visca;
    if (options.http) {
        const auto listen = ParseListen(*options.http);
        if (!listen)
            return Usage("--http " + *options.http +
                         ": expected ADDRESS:PORT, such as 127.0.0.1:8719 or [::1]:8719");
        settings.address = listen->first.to_string();
        settings.port = listen->second;
    }
    if (!settings.http) {
        for (const auto& [given, name] : {std::pair{options.tokenFile.has_value(), "--token-file"},
                                          std::pair{options.idleLimit.has_value(), "--idle-limit"}}) {
            if (given)
                return Usage(std::string(name) +
                             " applies to HTTP, and with --visca alone serve listens for no HTTP: add --http "
                             "ADDR:PORT");
        }
    }
    if (options.tokenFile) {
        std::string token;
        if (const std::string problem = ReadToken(*options.tokenFile, token); !problem.empty())
            return Usage("--token-file " + *options.tokenFile + ": " + problem);
        settings.token = std::move(token);
    }
    const bool loopback = boost::asio::ip::make_address(settings.address).is_loopback();
    if (settings.http && !loopback && !settings.token) {
        return Usage("listening on " + settings.address +
                     ", which is not a loopback address, needs --token-file FILE: every client then sends "
                     "Authorization: Bearer TOKEN");
    }
    if (options.holdLimit) {
        const auto limit = Seconds(*options.holdLimit);
        if (!limit) return Usage("--hold-limit " + *options.holdLimit + ": expected seconds, 0.05 to 86400");
        settings.holdLimit = *limit;
    }
    if (options.idleLimit) {
        const auto limit = Seconds(*options.idleLimit);
        if (!limit) return Usage("--idle-limit " + *options.idleLimit + ": expected seconds, 0.05 to 86400");
        settings.idleLimit = *limit;
    }
    if (auto failure = ReadControllerSettings(options, settings)) return failure;
    return ReadViscaSettings(options, settings);
}

int RunServe(const velmoractl::Options& options)
{
    velmoractl::Report report("serve", options.json);
    ServeSettings settings;
    if (auto failure = ReadServeSettings(options, settings)) {
        for (const std::string& line : settings.mapErrors) {
            velmoractl::Report bad("serve", options.json);
            bad.Fail(Usage(line));
            bad.Finish();
        }
        report.Fail(std::move(*failure));
        return report.Finish();
    }

    if (auto failure = ReadServeMacros(options, settings)) {
        report.Fail(std::move(*failure));
        return report.Finish();
    }

    // Declared in the order they are needed; torn down in reverse, the loop last.
    boost::asio::io_context loop(1);
    CameraHost host(options);
    CameraWorker worker(host, kQueueCapacity);
    std::promise<Opened> opening;
    worker.SubmitOwed([&opening, releaseAtStart = !options.noReleaseAtStart](CameraHost& camera) {
        Opened opened;
        opened.failure = camera.Open(RegistersSourceOnCameraThread());
        if (!opened.failure) {
            opened.devices = camera.Devices();
            opened.served = camera.Served(opened.notServed);
            if (opened.served && releaseAtStart) opened.notReleased = camera.ReleaseAtStart();
        }
        opening.set_value(std::move(opened));
    });
    Opened opened = opening.get_future().get();
    if (opened.failure) {
        report.Fail(std::move(*opened.failure));
        return report.Finish();
    }
    if (opened.notServed && opened.notServed->kind == FailureKind::BadRequest) {
        report.Fail(Usage(opened.notServed->message));
        return report.Finish();
    }
    if (opened.notReleased)
        std::fprintf(stderr, "velmoractl: warning: %s\n", opened.notReleased->message.c_str());
    if (options.tokenFile) {
        if (const std::string mode = ReadableByOthers(*options.tokenFile); !mode.empty()) {
            std::fprintf(
                stderr,
                "velmoractl: warning: --token-file %s can be read by other users (mode %s); chmod 600 %s\n",
                options.tokenFile->c_str(), mode.c_str(), options.tokenFile->c_str());
        }
    }

    BridgeCore core(loop, worker, settings.holdLimit);
    core.SetDevices(opened.devices);
    core.SetServed(opened.served ? std::optional<std::string>(opened.served->id) : std::nullopt,
                   options.device.has_value());
    const auto cannotListen = [&report](const std::string& where, const std::string& error) {
        report.Fail(velmoractl::Failure{velmoractl::ExitCode::Failed,
                                        velmoractl::CauseName(velmoractl::ExitCode::Failed),
                                        "cannot listen on " + where + ": " + error, std::nullopt});
        return report.Finish();
    };
    std::string error;
    std::optional<ViscaServer> visca;
    std::string serving;
    if (settings.viscaAddress) {
        visca.emplace(loop, core, std::move(settings.viscaMapping), settings.viscaAllow, options.quiet,
                      settings.macros);
        const boost::asio::ip::udp::endpoint endpoint(boost::asio::ip::make_address(*settings.viscaAddress),
                                                      settings.viscaPort);
        if (!visca->Listen(endpoint, error))
            return cannotListen("udp " + EndpointText(endpoint.address(), endpoint.port()), error);
        serving = "udp " + EndpointText(endpoint.address(), visca->LocalEndpoint().port()) + " (VISCA";
        for (std::size_t i = 0; i < options.viscaAllow.size(); ++i)
            serving += (i ? " " : ", from ") + options.viscaAllow[i];
        serving += ")";
    }
    const auto cannotStart = [&report](velmoractl::Failure failure) {
        report.Fail(std::move(failure));
        return report.Finish();
    };
    const auto failed = [](velmoractl::ExitCode code, const std::string& message) {
        return velmoractl::Failure{code, velmoractl::CauseName(code), message, std::nullopt};
    };
    std::optional<GamepadFront> gamepad;
    if (settings.gamepad) {
        auto source = controllers::CreateGamepadSource(error);
        if (!source) return cannotStart(failed(velmoractl::ExitCode::Unsupported, error));
        gamepad.emplace(loop, core, settings.gamepadMapping, options.quiet);
        gamepad->Front().SetMacros(settings.macros);
        switch (gamepad->Start(std::move(source), *settings.gamepad, error)) {
            case GamepadFront::StartResult::Started:
                break;
            case GamepadFront::StartResult::NoSuchPad:
                return cannotStart(Usage("--gamepad " + *options.gamepad + ": " + error));
            case GamepadFront::StartResult::Failed:
                return cannotStart(failed(velmoractl::ExitCode::Failed, error));
        }
        serving += std::string(serving.empty() ? "" : " and ") + "gamepad " +
                   (settings.gamepad->any ? std::string("any") : std::to_string(settings.gamepad->index));
    }
    std::optional<MidiFront> midi;
    if (settings.midiPort) {
        auto source = controllers::CreateMidiSource(error);
        if (!source) return cannotStart(failed(velmoractl::ExitCode::Unsupported, error));
        midi.emplace(loop, core, settings.midiMapping, options.quiet);
        midi->Front().SetMacros(settings.macros);
        switch (midi->Start(std::move(source), *settings.midiPort, error)) {
            case controllers::MidiSource::OpenResult::Opened:
                break;
            case controllers::MidiSource::OpenResult::NoSuchPort:
                return cannotStart(Usage("--midi " + *settings.midiPort + ": " + error));
            case controllers::MidiSource::OpenResult::Unavailable:
                return cannotStart(failed(velmoractl::ExitCode::Failed, error));
        }
        serving += std::string(serving.empty() ? "" : " and ") + "MIDI port " +
                   velmoractl::TerminalText(midi->PortLabel());
    }
    std::optional<HttpServer> server;
    if (settings.http) {
        HttpLimits limits;
        limits.idle = settings.idleLimit;
        server.emplace(loop, core, ListenPolicy{settings.address, settings.token}, limits, options.quiet,
                       settings.macros);
        const boost::asio::ip::tcp::endpoint endpoint(boost::asio::ip::make_address(settings.address),
                                                      settings.port);
        if (!server->Listen(endpoint, error))
            return cannotListen(EndpointText(endpoint.address(), endpoint.port()), error);
        serving += std::string(serving.empty() ? "" : " and ") + "http://" +
                   EndpointText(endpoint.address(), server->LocalEndpoint().port()) + "/v1/";
    }

    // The loop runs until the camera thread has sent the releases owed at the end, whatever else
    // has run out of work by then.
    auto busy = boost::asio::make_work_guard(loop);
    bool stopping = false;
    std::size_t released = 0;
    PlatformEvents events(
        loop, [&core](std::function<void()> done) { core.DevicesChanged(std::move(done)); },
        [&] {
            if (stopping) return;
            stopping = true;
            if (server) server->Stop();
            if (visca) visca->Stop();
            if (gamepad) gamepad->Stop();
            if (midi) midi->Stop();
            core.Stop([&](std::size_t count) {
                released = count;
                busy.reset();
                loop.stop();
            });
        });
    events.Start(host);

    const std::string device = opened.served ? "device " + std::to_string(opened.served->index) + " (" +
                                                   opened.served->label + "), id " + opened.served->id
                                             : "no device yet (" + opened.notServed->message + ")";
    std::fprintf(stderr, "velmoractl: serving %s on %s; hold limit %.3g s; stop with Ctrl+C\n",
                 serving.c_str(), device.c_str(), static_cast<double>(settings.holdLimit.count()) / 1000);
    if (server && settings.token && !boost::asio::ip::make_address(settings.address).is_loopback())
        PrintPhoneLinks(settings.address, server->LocalEndpoint().port(), *settings.token);
    std::fflush(stderr);
    loop.run();
    events.Stop();
    std::string counts;
    if (visca) {
        counts = "; VISCA: " + std::to_string(visca->Datagrams()) + " datagram(s), " +
                 std::to_string(visca->Dropped()) + " from senders not allowed dropped";
    }
    std::fprintf(stderr, "velmoractl: stopped; %zu held key(s) released%s\n", released, counts.c_str());
    return 0;
}

}  // namespace velmora::bridge

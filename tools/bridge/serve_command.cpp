#include "tools/bridge/serve_command.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/ip/address.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>

#include "tools/bridge/bridge_core.h"
#include "tools/bridge/camera_worker.h"
#include "tools/bridge/http_server.h"
#include "tools/bridge/serve_platform.h"
#include "tools/cli_report.h"

namespace velmora::bridge {

namespace {

// The requests that may wait for the camera: far more than the clients of a control room.
constexpr std::size_t kQueueCapacity = 256;

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
};

std::string Url(const ServeSettings& settings, unsigned short port)
{
    const bool v6 = settings.address.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + settings.address + "]" : settings.address) + ":" + std::to_string(port) +
           "/v1/";
}

}  // namespace

std::optional<velmoractl::Failure> ReadServeSettings(const velmoractl::Options& options,
                                                     ServeSettings& settings)
{
    if (options.http) {
        const std::string& text = *options.http;
        const std::size_t colon = text.rfind(':');
        std::string host = colon == std::string::npos ? std::string() : text.substr(0, colon);
        const std::string port = colon == std::string::npos ? std::string() : text.substr(colon + 1);
        if (host.size() > 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);
        if (host == "localhost") host = "127.0.0.1";
        boost::system::error_code error;
        const auto address = boost::asio::ip::make_address(host, error);
        char* end = nullptr;
        const unsigned long number = std::strtoul(port.c_str(), &end, 10);
        if (error || port.empty() || *end != '\0' || number > 65535)
            return Usage("--http " + text + ": expected ADDRESS:PORT, such as 127.0.0.1:8719 or [::1]:8719");
        settings.address = address.to_string();
        settings.port = static_cast<unsigned short>(number);
    }
    if (options.tokenFile) {
        std::ifstream file(*options.tokenFile);
        std::string line;
        if (!file || !std::getline(file, line))
            return Usage("--token-file " + *options.tokenFile + ": cannot be read");
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.empty())
            return Usage("--token-file " + *options.tokenFile + ": its first line (the token) is empty");
        settings.token = line;
    }
    const bool loopback = boost::asio::ip::make_address(settings.address).is_loopback();
    if (!loopback && !settings.token) {
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
    return std::nullopt;
}

int RunServe(const velmoractl::Options& options)
{
    velmoractl::Report report("serve", options.json);
    ServeSettings settings;
    if (auto failure = ReadServeSettings(options, settings)) {
        report.Fail(std::move(*failure));
        return report.Finish();
    }

    // Declared in the order they are needed; torn down in reverse, the loop last.
    boost::asio::io_context loop(1);
    CameraHost host(options);
    CameraWorker worker(host, kQueueCapacity);
    std::promise<Opened> opening;
    worker.SubmitOwed([&opening](CameraHost& camera) {
        Opened opened;
        opened.failure = camera.Open(RegistersSourceOnCameraThread());
        if (!opened.failure) {
            opened.devices = camera.Devices();
            opened.served = camera.Served(opened.notServed);
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

    BridgeCore core(loop, worker, settings.holdLimit);
    core.SetDevices(opened.devices);
    HttpLimits limits;
    limits.idle = settings.idleLimit;
    HttpServer server(loop, core, ListenPolicy{settings.address, settings.token}, limits, options.quiet);
    std::string error;
    const boost::asio::ip::tcp::endpoint endpoint(boost::asio::ip::make_address(settings.address),
                                                  settings.port);
    if (!server.Listen(endpoint, error)) {
        report.Fail(velmoractl::Failure{
            velmoractl::ExitCode::Failed, velmoractl::CauseName(velmoractl::ExitCode::Failed),
            "cannot listen on " + settings.address + ":" + std::to_string(settings.port) + ": " + error,
            std::nullopt});
        return report.Finish();
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
            server.Stop();
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
                 Url(settings, server.LocalEndpoint().port()).c_str(), device.c_str(),
                 static_cast<double>(settings.holdLimit.count()) / 1000);
    std::fflush(stderr);
    loop.run();
    events.Stop();
    std::fprintf(stderr, "velmoractl: stopped; %zu held key(s) released\n", released);
    return 0;
}

}  // namespace velmora::bridge

// How the platform's device changes and stop requests reach the bridge's event loop.
#pragma once

#include <boost/asio/io_context.hpp>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/bridge/camera_host.h"

namespace velmora::bridge {

// Whether the device-change source is registered on the camera thread: true where its events come
// through a descriptor the loop watches (Linux, the simulated folder), false where a message window
// of its own hears them (Windows).
bool RegistersSourceOnCameraThread();

// The file's mode ("0644") when users other than its owner may read it (POSIX); empty otherwise.
std::string ReadableByOthers(const std::string& path);
// The machine's own addresses, loopback and link-local left out: IPv4 or IPv6 ones.
std::vector<std::string> MachineAddresses(bool v6);

// Standard error shows UTF-8 as such (the Windows console otherwise takes its code page).
void Utf8Console();

class PlatformEvents {
public:
    using Changed = std::function<void(std::function<void()> done)>;

    // changed: devices may have been plugged or pulled; it calls done once they are taken in.
    // stop: SIGINT, SIGTERM or SIGHUP (POSIX); on Windows Ctrl-C, Ctrl-Break and closing the console.
    PlatformEvents(boost::asio::io_context& loop, Changed changed, std::function<void()> stop);
    ~PlatformEvents();
    PlatformEvents(const PlatformEvents&) = delete;
    PlatformEvents& operator=(const PlatformEvents&) = delete;

    // Follows the host's device-change source (call while the camera thread is idle, after Open).
    void Start(CameraHost& host);
    // Follows nothing more; the loop keeps no work of this object's.
    void Stop();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace velmora::bridge

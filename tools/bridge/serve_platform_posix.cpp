#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <boost/asio/posix/stream_descriptor.hpp>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <boost/asio/ip/address.hpp>

#include "platform/stop_signals.h"
#include "tools/bridge/http_server.h"
#include "tools/bridge/serve_platform.h"

namespace velmora::bridge {

bool RegistersSourceOnCameraThread()
{
    return true;
}

bool ReuseListenAddress()
{
    return true;
}

std::string ReadableByOthers(const std::string& path)
{
    struct stat status = {};
    if (::stat(path.c_str(), &status) != 0 || (status.st_mode & (S_IRGRP | S_IROTH)) == 0) return {};
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    return mode;
}

std::vector<std::string> MachineAddresses(bool v6)
{
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return addresses;
    const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> owned(list, freeifaddrs);
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr) continue;
        boost::asio::ip::address address;
        if (!v6 && entry->ifa_addr->sa_family == AF_INET) {
            boost::asio::ip::address_v4::bytes_type bytes;
            std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr, 4);
            address = boost::asio::ip::address_v4(bytes);
        } else if (v6 && entry->ifa_addr->sa_family == AF_INET6) {
            boost::asio::ip::address_v6::bytes_type bytes;
            std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr)->sin6_addr, 16);
            address = boost::asio::ip::address_v6(bytes);
            if (address.to_v6().is_link_local()) continue;
        } else {
            continue;
        }
        if (address.is_loopback()) continue;
        const std::string text = address.to_string();
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end()) addresses.push_back(text);
    }
    return addresses;
}

void Utf8Console() {}

struct PlatformEvents::State {
    State(boost::asio::io_context& loop, Changed changed, std::function<void()> stop)
        : wake(loop), descriptor(loop), changed(std::move(changed)), stop(std::move(stop))
    {
    }
    ~State();

    // The loop only sees that the source's descriptor is readable; the camera thread reads it.
    void Wait()
    {
        descriptor.async_wait(boost::asio::posix::stream_descriptor::wait_read,
                              [this](boost::system::error_code error) {
                                  if (error) return;
                                  changed([this] {
                                      if (descriptor.is_open()) Wait();
                                  });
                              });
    }

    // SIGINT, SIGTERM and SIGHUP as the window and batch take them (one left ignored stays so; a
    // repeat a second later ends the process): the first one writes a byte to the pipe the loop reads.
    boost::asio::posix::stream_descriptor wake;
    int wakeWrite = -1;
    std::unique_ptr<velmora::StopSignals> stopSignals;
    boost::asio::posix::stream_descriptor descriptor;
    Changed changed;
    std::function<void()> stop;
};

PlatformEvents::PlatformEvents(boost::asio::io_context& loop, Changed changed, std::function<void()> stop)
    : m_state(std::make_unique<State>(loop, std::move(changed), std::move(stop)))
{
    // A client gone while an answer is written must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    int pipe[2] = {-1, -1};
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("velmoractl: warning: stop signals cannot be followed");
        return;
    }
    m_state->wake.assign(pipe[0]);
    m_state->wakeWrite = pipe[1];
    m_state->stopSignals = std::make_unique<velmora::StopSignals>(pipe[1]);
    m_state->wake.async_wait(boost::asio::posix::stream_descriptor::wait_read,
                             [state = m_state.get()](boost::system::error_code error) {
                                 if (!error) state->stop();
                             });
}

PlatformEvents::~PlatformEvents()
{
    Stop();
}

void PlatformEvents::Start(CameraHost& host)
{
    // A descriptor of our own on the source's open file: closing ours leaves the source's.
    const int source = host.DeviceChangeDescriptor();
    const int own = source >= 0 ? ::dup(source) : -1;
    if (own < 0) return;
    m_state->descriptor.assign(own);
    m_state->Wait();
}

void PlatformEvents::Stop()
{
    boost::system::error_code ignored;
    m_state->wake.cancel(ignored);
    m_state->descriptor.close(ignored);
}

PlatformEvents::State::~State()
{
    // The signals are let go before the pipe their handler writes to is closed.
    stopSignals.reset();
    boost::system::error_code ignored;
    wake.close(ignored);
    if (wakeWrite >= 0) ::close(wakeWrite);
}

}  // namespace velmora::bridge

#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <cstring>

#include <boost/asio/ip/address.hpp>

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
        : stopSignals(loop, SIGINT, SIGTERM),
          descriptor(loop),
          changed(std::move(changed)),
          stop(std::move(stop))
    {
    }

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

    boost::asio::signal_set stopSignals;
    boost::asio::posix::stream_descriptor descriptor;
    Changed changed;
    std::function<void()> stop;
};

PlatformEvents::PlatformEvents(boost::asio::io_context& loop, Changed changed, std::function<void()> stop)
    : m_state(std::make_unique<State>(loop, std::move(changed), std::move(stop)))
{
    // A client gone while an answer is written must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    m_state->stopSignals.async_wait([state = m_state.get()](boost::system::error_code error, int) {
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
    m_state->stopSignals.cancel(ignored);
    m_state->descriptor.close(ignored);
}

}  // namespace velmora::bridge

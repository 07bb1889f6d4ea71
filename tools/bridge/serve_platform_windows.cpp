// winsock2.h before anything that brings windows.h, iphlpapi.h after it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <algorithm>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <future>
#include <thread>

#include "devices/device_change_handling.h"
#include "tools/bridge/http_server.h"
#include "tools/bridge/serve_platform.h"
#include "tools/commands/watch_loop.h"

namespace velmora::bridge {

bool RegistersSourceOnCameraThread()
{
    return false;
}

bool ReuseListenAddress()
{
    return false;
}

// Windows files carry access lists, not modes.
std::string ReadableByOthers(const std::string&)
{
    return {};
}

std::vector<std::string> MachineAddresses(bool v6)
{
    std::vector<std::string> addresses;
    ULONG size = 16384;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 3 && result == ERROR_BUFFER_OVERFLOW; ++tries) {
        buffer.resize(size);
        result =
            GetAdaptersAddresses(v6 ? AF_INET6 : AF_INET,
                                 GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                 nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) return addresses;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp) continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const sockaddr* socket = unicast->Address.lpSockaddr;
            boost::asio::ip::address address;
            if (socket->sa_family == AF_INET) {
                boost::asio::ip::address_v4::bytes_type bytes;
                std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(socket)->sin_addr, 4);
                address = boost::asio::ip::address_v4(bytes);
            } else if (socket->sa_family == AF_INET6) {
                boost::asio::ip::address_v6::bytes_type bytes;
                std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in6*>(socket)->sin6_addr, 16);
                address = boost::asio::ip::address_v6(bytes);
                if (address.to_v6().is_link_local()) continue;
            } else {
                continue;
            }
            if (address.is_loopback()) continue;
            const std::string text = address.to_string();
            if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
                addresses.push_back(text);
        }
    }
    return addresses;
}

void Utf8Console()
{
    SetConsoleOutputCP(CP_UTF8);
}

struct PlatformEvents::State {
    State(boost::asio::io_context& loop, Changed changed, std::function<void()> stop)
        : loop(loop), stopSignals(loop, SIGINT, SIGTERM), changed(std::move(changed)), stop(std::move(stop))
    {
    }

    boost::asio::io_context& loop;
    boost::asio::signal_set stopSignals;  // SIGINT and SIGBREAK as the C runtime gives them
    Changed changed;
    std::function<void()> stop;
    std::unique_ptr<DeviceChangeSource> source;
    std::thread window;  // the message window that hears WM_DEVICECHANGE, and the console's stop keys
    bool stopping = false;
};

PlatformEvents::PlatformEvents(boost::asio::io_context& loop, Changed changed, std::function<void()> stop)
    : m_state(std::make_unique<State>(loop, std::move(changed), std::move(stop)))
{
    boost::system::error_code ignored;
    m_state->stopSignals.add(SIGBREAK, ignored);
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
    m_state->source = host.TakeDeviceChangeSource();
    if (!m_state->source) return;
    std::promise<void> ready;
    std::future<void> registered = ready.get_future();
    m_state->window = std::thread([state = m_state.get(), &ready] {
        bool told = false;
        const auto sink = [state](const DeviceChangeEvent& event) {
            if (event.kind == DeviceChangeKind::Other) return;
            boost::asio::post(state->loop, [state] { state->changed([] {}); });
        };
        Status status = StatusOk;
        std::string error;
        const bool watched = velmoractl::WatchDeviceChanges(
            *state->source, WatchedInterfaceClasses[0], sink,
            [&] {
                told = true;
                ready.set_value();
            },
            status, error);
        if (!told) {
            std::fprintf(stderr, "velmoractl: warning: device changes cannot be followed: %s\n",
                         error.c_str());
            ready.set_value();
            return;
        }
        // The watch ends on Ctrl-C, Ctrl-Break or the console closing, or when Stop asks it to.
        if (watched)
            boost::asio::post(state->loop, [state] {
                if (!state->stopping) state->stop();
            });
    });
    registered.wait();
}

void PlatformEvents::Stop()
{
    m_state->stopping = true;
    boost::system::error_code ignored;
    m_state->stopSignals.cancel(ignored);
    if (m_state->window.joinable()) {
        velmoractl::StopWatchingDeviceChanges();
        m_state->window.join();
    }
}

}  // namespace velmora::bridge

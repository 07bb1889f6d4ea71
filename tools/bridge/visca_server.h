// The bridge's VISCA-over-IP front end on the event loop: one UDP socket (IPv4, IPv6, or both on
// [::]); each datagram from an allowed sender is decided by a ViscaReceiver, answered at once or
// once its work has run through the core (a key step on the served camera, or its zoom).
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <memory>
#include <string>
#include <vector>

#include "tools/bridge/bridge_core.h"
#include "tools/bridge/visca_allow.h"
#include "tools/bridge/visca_mapping.h"

namespace velmora::bridge {

NetAddress NetAddressOf(const boost::asio::ip::address& address);

class ViscaServer {
public:
    // allow: the senders answered (none: every sender; the listener is then on loopback).
    // macros: the macros file's, which the mapping's macro steps name.
    ViscaServer(boost::asio::io_context& loop, BridgeCore& core, ViscaMapping mapping,
                std::vector<ViscaAllowRule> allow, bool quiet, MacroBook macros = {});
    ~ViscaServer();
    ViscaServer(const ViscaServer&) = delete;
    ViscaServer& operator=(const ViscaServer&) = delete;

    // Binds endpoint and starts receiving; false with error set when it cannot.
    bool Listen(const boost::asio::ip::udp::endpoint& endpoint, std::string& error);
    boost::asio::ip::udp::endpoint LocalEndpoint() const;

    // Receives and answers no more; what the camera still runs is not answered.
    void Stop();

    std::uint64_t Datagrams() const;
    std::uint64_t Dropped() const;  // from senders not allowed

private:
    struct State;
    std::shared_ptr<State> m_state;
};

}  // namespace velmora::bridge

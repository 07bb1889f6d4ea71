// What every log line of serve shares: the time it starts with and how a client is named.
#pragma once

#include <boost/asio/ip/address.hpp>
#include <string>

namespace velmora::bridge {

// The time now, as each line begins: "2026-12-07T17:38:35Z".
std::string LogStamp();

// "127.0.0.1:5000", "[::1]:5000".
std::string EndpointText(const boost::asio::ip::address& address, unsigned short port);

}  // namespace velmora::bridge

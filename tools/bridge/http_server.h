// The bridge's HTTP/1.1 server on the event loop (Boost.Beast): keep-alive connections within
// the limits, each request decided by DecideRequest and answered with a JSON object; /v1/events
// becomes an event socket.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <memory>
#include <string>

#include "tools/bridge/serve_context.h"

namespace velmora::bridge {

class HttpServer {
public:
    HttpServer(boost::asio::io_context& loop, BridgeCore& core, ListenPolicy policy, HttpLimits limits,
               bool quiet, MacroBook macros = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds endpoint and starts accepting; false with error set when it cannot.
    bool Listen(const boost::asio::ip::tcp::endpoint& endpoint, std::string& error);
    boost::asio::ip::tcp::endpoint LocalEndpoint() const;

    // Stops accepting and closes every connection and event socket.
    void Stop();

private:
    void Accept();

    boost::asio::io_context& m_loop;
    boost::asio::ip::tcp::acceptor m_acceptor;
    boost::asio::steady_timer m_retry;
    std::shared_ptr<ServeContext> m_context;
    std::shared_ptr<void> m_subscription;
};

// Reuse a listen address at once after a restart (POSIX); never on Windows, where the same option
// lets another program take the port.
bool ReuseListenAddress();

}  // namespace velmora::bridge

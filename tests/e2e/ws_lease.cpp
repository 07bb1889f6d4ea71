// A WebSocket client for the end-to-end run, where the VM has no browser and no scripting
// language: connects to velmoractl serve's /v1/events on loopback, presses KEY under a lease and
// never renews it, then prints each message serve sends until one says the hold was released (or
// SECONDS pass). Exit 0 when serve released it for the lease, 1 otherwise.
//   velmora-ws-lease PORT KEY SECONDS
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    namespace beast = boost::beast;
    using boost::asio::ip::tcp;
    if (argc != 4) {
        std::fprintf(stderr, "usage: velmora-ws-lease PORT KEY SECONDS\n");
        return 2;
    }
    const std::string port = argv[1];
    const std::string key = argv[2];
    const auto limit = std::chrono::seconds(std::atoi(argv[3]));
    try {
        boost::asio::io_context io;
        beast::websocket::stream<beast::tcp_stream> socket(io);
        beast::get_lowest_layer(socket).connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"),
                                                              static_cast<unsigned short>(std::stoi(port))));
        socket.handshake("127.0.0.1:" + port, "/v1/events");
        socket.text(true);
        socket.write(
            boost::asio::buffer("{\"key\":\"" + key + "\",\"action\":\"press\",\"lease\":true,\"id\":1}"));
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            beast::get_lowest_layer(socket).expires_at(end);
            beast::flat_buffer buffer;
            socket.read(buffer);
            const std::string text = beast::buffers_to_string(buffer.data());
            std::printf("%s\n", text.c_str());
            std::fflush(stdout);
            if (text.find("\"event\":\"hold-released\"") != std::string::npos)
                return text.find("\"reason\":\"lease-expired\"") != std::string::npos ? 0 : 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmora-ws-lease: %s\n", error.what());
    }
    return 1;
}

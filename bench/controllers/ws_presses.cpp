// The WebSocket side of bench/controllers/run.sh: COUNT presses of KEY over serve's /v1/events on
// loopback, each followed by its release as a pad's button comes up, one at a time, GAP_MS apart, each
// message waited for (its reply). Prints "sent t=SECONDS" for each press, t the monotonic clock just
// before the message was written, as the simulated camera's trace stamps its lines.
//   velmora-ws-presses PORT KEY COUNT GAP_MS
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    namespace beast = boost::beast;
    using boost::asio::ip::tcp;
    if (argc != 5) {
        std::fprintf(stderr, "usage: velmora-ws-presses PORT KEY COUNT GAP_MS\n");
        return 2;
    }
    const std::string port = argv[1];
    const std::string key = argv[2];
    const int count = std::atoi(argv[3]);
    const auto gap = std::chrono::milliseconds(std::atoi(argv[4]));
    try {
        boost::asio::io_context io;
        beast::websocket::stream<beast::tcp_stream> socket(io);
        beast::get_lowest_layer(socket).connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"),
                                                              static_cast<unsigned short>(std::stoi(port))));
        socket.handshake("127.0.0.1:" + port, "/v1/events");
        socket.text(true);
        for (int i = 0; i < count; ++i) {
            const double sent =
                std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
            for (const char* action : {"press", "release"}) {
                socket.write(boost::asio::buffer("{\"key\":\"" + key + "\",\"action\":\"" + action + "\"}"));
                for (;;) {
                    beast::flat_buffer buffer;
                    socket.read(buffer);
                    const std::string text = beast::buffers_to_string(buffer.data());
                    if (text.find("\"event\":\"reply\"") == std::string::npos) continue;
                    if (text.find("\"ok\":true") == std::string::npos) {
                        std::fprintf(stderr, "velmora-ws-presses: %s %d: %s\n", action, i + 1, text.c_str());
                        return 1;
                    }
                    break;
                }
            }
            std::printf("sent t=%.6f\n", sent);
            std::this_thread::sleep_for(gap);
        }
        socket.close(beast::websocket::close_code::normal);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmora-ws-presses: %s\n", error.what());
        return 1;
    }
    return 0;
}

// The load of bench/macros/run.sh: CLIENTS keep-alive HTTP clients on loopback, each from an
// address of its own (127.0.1.N, within serve's per-address limit), each POSTing TARGET as soon as
// its last answer came, until SECONDS have passed, CLICKS were sent in all or SIGTERM comes. Prints
// the answers by status.
//
// Usage: velmora_click_load PORT CLIENTS SECONDS CLICKS TARGET
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace {

namespace beast = boost::beast;
namespace http = boost::beast::http;
using boost::asio::ip::tcp;
using Clock = std::chrono::steady_clock;

struct Load {
    boost::asio::io_context io{1};
    tcp::endpoint server;
    std::string target;
    Clock::time_point end;
    long long left = 0;
    std::map<unsigned, long long> answers;  // by status; 0: the connection failed
};

struct Client : std::enable_shared_from_this<Client> {
    Client(Load& load, int index) : load(load), socket(load.io)
    {
        request.method(http::verb::post);
        request.target(load.target);
        request.set(http::field::host, "localhost");
        request.set(http::field::content_type, "application/json");
        request.body() = "{}";
        request.keep_alive(true);
        request.prepare_payload();
        from = tcp::endpoint(boost::asio::ip::make_address("127.0.1." + std::to_string(index + 1)), 0);
    }

    void Connect()
    {
        beast::error_code error;
        socket = tcp::socket(load.io);
        socket.open(tcp::v4(), error);
        if (!error) socket.bind(from, error);
        if (error) return Failed();
        socket.async_connect(load.server, [self = shared_from_this()](beast::error_code e) {
            if (e) return self->Failed();
            self->Click();
        });
    }

    void Click()
    {
        if (Clock::now() >= load.end || load.left <= 0) return;
        --load.left;
        http::async_write(socket, request, [self = shared_from_this()](beast::error_code e, std::size_t) {
            if (e) return self->Failed();
            self->response = {};
            http::async_read(self->socket, self->buffer, self->response,
                             [self](beast::error_code e2, std::size_t) {
                                 if (e2) return self->Failed();
                                 ++self->load.answers[self->response.result_int()];
                                 if (!self->response.keep_alive()) return self->Connect();
                                 self->Click();
                             });
        });
    }

    void Failed()
    {
        ++load.answers[0];
        beast::error_code ignored;
        socket.close(ignored);
        if (Clock::now() < load.end && load.left > 0) Connect();
    }

    Load& load;
    tcp::socket socket;
    tcp::endpoint from;
    http::request<http::string_body> request;
    http::response<http::string_body> response;
    beast::flat_buffer buffer;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s PORT CLIENTS SECONDS CLICKS TARGET\n", argv[0]);
        return 2;
    }
    Load load;
    load.server = tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"),
                                static_cast<unsigned short>(std::atoi(argv[1])));
    const int clients = std::atoi(argv[2]);
    load.end = Clock::now() + std::chrono::seconds(std::atoi(argv[3]));
    load.left = std::atoll(argv[4]);
    load.target = argv[5];
    for (int i = 0; i < clients; ++i) std::make_shared<Client>(load, i)->Connect();
    boost::asio::signal_set stop(load.io, SIGTERM, SIGINT);
    boost::asio::steady_timer last(load.io, load.end + std::chrono::seconds(1));
    stop.async_wait([&load](const boost::system::error_code& error, int) {
        if (!error) load.io.stop();
    });
    last.async_wait([&stop](const boost::system::error_code&) { stop.cancel(); });
    load.io.run();
    std::printf("answers:");
    for (const auto& [status, count] : load.answers) std::printf(" %u: %lld", status, count);
    std::printf("\n");
    return 0;
}

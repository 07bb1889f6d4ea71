// The clients of the soak of velmoractl serve (bench/serve/soak.sh): every kind at once on loopback
// for SECONDS, each client from a loopback address of its own (127.0.KIND.N), on one thread:
//  - HTTP: 50 clients, each a click of a key without a release on a new connection, then a pause
//    of up to 100 ms;
//  - WebSocket: 20 clients, each presses a key that holds (zoom, focus, a lock), then drops the
//    socket 0 to 300 ms later (every other time with a reset, as a lost phone does), and again;
//  - VISCA: 20 senders, each a drive (zoom, focus, the direction pad) and its stop, each one
//    answered before the next, with pauses of up to 100 ms;
//  - hostile: 3 clients, each a request that never ends (a chunk extension, trailer lines, a
//    chunk-size line) sent at full speed until it is answered, and again 10 ms later.
// Prints a line a minute and one at the end: HTTP answers by status, WebSocket sessions, VISCA
// commands complete, hostile requests answered by status. Exit 1 when a kind got nowhere.
//
// Usage: velmora_serve_soak HTTP_PORT VISCA_PORT SECONDS
#include <array>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace beast = boost::beast;
namespace http = boost::beast::http;
namespace websocket = boost::beast::websocket;
using boost::asio::ip::tcp;
using boost::asio::ip::udp;
using Clock = std::chrono::steady_clock;
using Error = boost::system::error_code;

struct Counts {
    std::map<unsigned, std::uint64_t> http;     // answers by status; 0: no answer
    std::uint64_t sockets = 0;                  // WebSocket sessions that pressed
    std::uint64_t socketFailures = 0;           // handshakes or presses that failed
    std::uint64_t viscaCommands = 0;            // drives and stops complete
    std::uint64_t viscaLate = 0;                // not complete within a second
    std::map<unsigned, std::uint64_t> hostile;  // answers by status; 0: no answer
};

struct Soak {
    boost::asio::io_context io{1};
    tcp::endpoint server;
    udp::endpoint visca;
    Clock::time_point end;
    std::mt19937 random{20261208};
    Counts counts;

    bool Over() const { return Clock::now() >= end; }
    std::chrono::milliseconds Upto(int milliseconds)
    {
        return std::chrono::milliseconds(std::uniform_int_distribution<int>(0, milliseconds)(random));
    }
};

boost::asio::ip::address Loopback(int kind, int index)
{
    return boost::asio::ip::make_address_v4(static_cast<std::uint32_t>(0x7F000000 | kind << 8 | (index + 1)));
}

// A TCP socket from a loopback address of its own.
tcp::socket SocketFrom(Soak& soak, int kind, int index)
{
    tcp::socket socket(soak.io);
    socket.open(tcp::v4());
    socket.bind(tcp::endpoint(Loopback(kind, index), 0));
    return socket;
}

const std::string kHostHeader = "Host: localhost\r\n";

class HttpClicker : public std::enable_shared_from_this<HttpClicker> {
public:
    HttpClicker(Soak& soak, int index) : m_soak(soak), m_index(index), m_timer(soak.io), m_socket(soak.io) {}

    void Next()
    {
        if (m_soak.Over()) return;
        static const char* const keys[] = {"menu", "ae", "awb", "live", "normal"};
        const std::string key = keys[m_soak.random() % 5];
        m_request = "POST /v1/keys/" + key + "/click HTTP/1.1\r\n" + kHostHeader +
                    "Content-Type: application/json\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}";
        m_socket = SocketFrom(m_soak, 1, m_index);
        m_socket.async_connect(m_soak.server, [self = shared_from_this()](Error error) {
            if (error) return self->Done(0);
            boost::asio::async_write(
                self->m_socket, boost::asio::buffer(self->m_request), [self](Error written, std::size_t) {
                    if (written) return self->Done(0);
                    self->m_response = {};
                    self->m_buffer.clear();
                    http::async_read(self->m_socket, self->m_buffer, self->m_response,
                                     [self](Error read, std::size_t) {
                                         self->Done(read ? 0 : self->m_response.result_int());
                                     });
                });
        });
    }

private:
    void Done(unsigned status)
    {
        ++m_soak.counts.http[status];
        Error ignored;
        m_socket.close(ignored);
        m_timer.expires_after(m_soak.Upto(100));
        m_timer.async_wait([self = shared_from_this()](Error) { self->Next(); });
    }

    Soak& m_soak;
    int m_index;
    boost::asio::steady_timer m_timer;
    tcp::socket m_socket;
    std::string m_request;
    beast::flat_buffer m_buffer;
    http::response<http::string_body> m_response;
};

class SocketPresser : public std::enable_shared_from_this<SocketPresser> {
public:
    SocketPresser(Soak& soak, int index) : m_soak(soak), m_index(index), m_timer(soak.io) {}

    void Next()
    {
        if (m_soak.Over()) return;
        m_socket = std::make_unique<websocket::stream<tcp::socket>>(SocketFrom(m_soak, 2, m_index));
        m_socket->next_layer().async_connect(m_soak.server, [self = shared_from_this()](Error error) {
            if (error) return self->Drop(false);
            self->m_socket->async_handshake("localhost", "/v1/events", [self](Error shaken) {
                if (shaken) return self->Drop(false);
                static const char* const keys[] = {"zoom-in", "zoom-out", "focus-in", "focus-out", "lock1"};
                self->m_message = std::string(R"({"key": ")") + keys[self->m_soak.random() % 5] +
                                  R"(", "action": "press"})";
                self->m_socket->text(true);
                self->m_socket->async_write(boost::asio::buffer(self->m_message),
                                            [self](Error sent, std::size_t) {
                                                if (sent) return self->Drop(false);
                                                ++self->m_soak.counts.sockets;
                                                // Hears events meanwhile; the socket goes while the key is
                                                // held.
                                                self->Hear();
                                                self->m_timer.expires_after(self->m_soak.Upto(300));
                                                self->m_timer.async_wait([self](Error) { self->Drop(true); });
                                            });
            });
        });
    }

private:
    void Hear()
    {
        m_socket->async_read(m_buffer, [self = shared_from_this()](Error error, std::size_t) {
            self->m_buffer.clear();
            if (!error) self->Hear();
        });
    }

    void Drop(bool pressed)
    {
        if (!m_socket) return;
        if (!pressed) ++m_soak.counts.socketFailures;
        tcp::socket& raw = m_socket->next_layer();
        Error ignored;
        if (m_resets++ % 2 == 0) raw.set_option(tcp::socket::linger(true, 0), ignored);
        raw.close(ignored);
        // The socket object goes once its pending read has ended.
        m_timer.expires_after(std::chrono::milliseconds(10) + m_soak.Upto(50));
        m_timer.async_wait([self = shared_from_this()](Error) {
            self->m_socket.reset();
            self->Next();
        });
    }

    Soak& m_soak;
    int m_index;
    boost::asio::steady_timer m_timer;
    std::unique_ptr<websocket::stream<tcp::socket>> m_socket;
    beast::flat_buffer m_buffer;
    std::string m_message;
    unsigned m_resets = 0;
};

class ViscaSender : public std::enable_shared_from_this<ViscaSender> {
public:
    ViscaSender(Soak& soak, int index)
        : m_soak(soak),
          m_socket(soak.io, udp::endpoint(Loopback(3, index), 0)),
          m_timer(soak.io),
          m_index(index)
    {
    }

    void Start()
    {
        Receive();
        Next();
    }

private:
    // Drive, stop, drive, stop...: zoom tele/wide, focus far/near, the direction pad.
    std::vector<std::uint8_t> Message() const
    {
        const bool stop = m_turn % 2 == 1;
        switch ((m_index + static_cast<int>(m_turn / 2)) % 3) {
            case 0:
                return {
                    0x81, 0x01, 0x04, 0x07, static_cast<std::uint8_t>(stop ? 0x00 : 0x02 + m_turn % 4 / 2),
                    0xFF};
            case 1:
                return {
                    0x81, 0x01, 0x04, 0x08, static_cast<std::uint8_t>(stop ? 0x00 : 0x02 + m_turn % 4 / 2),
                    0xFF};
            default:
                return {0x81, 0x01, 0x06, 0x01,
                        0x08, 0x08, 0x03, static_cast<std::uint8_t>(stop ? 0x03 : 0x01 + m_turn % 4 / 2),
                        0xFF};
        }
    }

    void Next()
    {
        // A drive is always followed by its stop, also past the end.
        if (m_soak.Over() && m_turn % 2 == 0) {
            Error ignored;
            m_socket.close(ignored);
            return;
        }
        const std::vector<std::uint8_t> message = Message();
        ++m_sequence;
        m_datagram = {0x01,
                      0x00,
                      0x00,
                      static_cast<std::uint8_t>(message.size()),
                      0,
                      0,
                      static_cast<std::uint8_t>(m_sequence >> 8),
                      static_cast<std::uint8_t>(m_sequence)};
        m_datagram.insert(m_datagram.end(), message.begin(), message.end());
        Send();
    }

    void Send()
    {
        Error ignored;
        m_socket.send_to(boost::asio::buffer(m_datagram), m_soak.visca, 0, ignored);
        // Not complete within a second: sent again (the same sequence number, a retransmission).
        m_timer.expires_after(std::chrono::seconds(1));
        m_timer.async_wait([self = shared_from_this(), sequence = m_sequence](Error error) {
            if (error || sequence != self->m_sequence || !self->m_socket.is_open()) return;
            ++self->m_soak.counts.viscaLate;
            self->Send();
        });
    }

    void Receive()
    {
        m_socket.async_receive(
            boost::asio::buffer(m_reply), [self = shared_from_this()](Error error, std::size_t size) {
                if (error) return;
                // A Completion (90 51 FF) of the command under way.
                if (size == 11 && self->m_reply[9] == 0x51 && self->m_reply[6] == self->m_datagram[6] &&
                    self->m_reply[7] == self->m_datagram[7]) {
                    ++self->m_soak.counts.viscaCommands;
                    ++self->m_turn;
                    self->m_timer.cancel();
                    self->m_timer.expires_after(self->m_soak.Upto(100));
                    self->m_timer.async_wait([self](Error) { self->Next(); });
                }
                self->Receive();
            });
    }

    Soak& m_soak;
    udp::socket m_socket;
    boost::asio::steady_timer m_timer;
    int m_index;
    unsigned m_turn = 0;
    std::uint16_t m_sequence = 0;
    std::vector<std::uint8_t> m_datagram;
    std::array<std::uint8_t, 64> m_reply{};
};

class Flooder : public std::enable_shared_from_this<Flooder> {
public:
    Flooder(Soak& soak, int index) : m_soak(soak), m_index(index), m_socket(soak.io), m_pause(soak.io)
    {
        const std::string header = "POST /v1/keys/menu/click HTTP/1.1\r\n" + kHostHeader +
                                   "Content-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n";
        const std::string starts[] = {header + "2", header + "2\r\n{}\r\n0\r\n", header};
        const std::string repeated[] = {";a=b", "X-A: b\r\n", "0"};
        m_start = starts[index % 3];
        while (m_piece.size() < 16384) m_piece += repeated[index % 3];
    }

    void Next()
    {
        if (m_soak.Over()) return;
        m_socket = SocketFrom(m_soak, 4, m_index);
        m_answered = false;
        m_socket.async_connect(m_soak.server, [self = shared_from_this()](Error error) {
            if (error) return self->Done(0);
            self->m_response = {};
            self->m_buffer.clear();
            http::async_read(
                self->m_socket, self->m_buffer, self->m_response,
                [self](Error read, std::size_t) { self->Done(read ? 0 : self->m_response.result_int()); });
            boost::asio::async_write(self->m_socket, boost::asio::buffer(self->m_start),
                                     [self](Error written, std::size_t) {
                                         if (!written) self->Flood();
                                     });
        });
    }

private:
    void Flood()
    {
        boost::asio::async_write(m_socket, boost::asio::buffer(m_piece),
                                 [self = shared_from_this()](Error error, std::size_t) {
                                     if (!error && !self->m_answered) self->Flood();
                                 });
    }

    void Done(unsigned status)
    {
        if (m_answered) return;
        m_answered = true;
        ++m_soak.counts.hostile[status];
        Error ignored;
        m_socket.close(ignored);
        // The write under way ends with the socket; the next flood starts 10 ms later.
        m_pause.expires_after(std::chrono::milliseconds(10));
        m_pause.async_wait([self = shared_from_this()](Error) { self->Next(); });
    }

    Soak& m_soak;
    int m_index;
    tcp::socket m_socket;
    boost::asio::steady_timer m_pause;
    std::string m_start;
    std::string m_piece;
    beast::flat_buffer m_buffer;
    http::response<http::string_body> m_response;
    bool m_answered = false;
};

std::string Statuses(const std::map<unsigned, std::uint64_t>& counts)
{
    std::string text;
    for (const auto& [status, count] : counts)
        text += (text.empty() ? "" : " ") + (status ? std::to_string(status) : std::string("none")) + ":" +
                std::to_string(count);
    return text.empty() ? "-" : text;
}

void Report(const Soak& soak, double elapsed)
{
    const Counts& c = soak.counts;
    std::printf("%6.0f s  http %s | sockets %llu (failed %llu) | visca %llu (late %llu) | hostile %s\n",
                elapsed, Statuses(c.http).c_str(), static_cast<unsigned long long>(c.sockets),
                static_cast<unsigned long long>(c.socketFailures),
                static_cast<unsigned long long>(c.viscaCommands),
                static_cast<unsigned long long>(c.viscaLate), Statuses(c.hostile).c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s HTTP_PORT VISCA_PORT SECONDS\n", argv[0]);
        return 2;
    }
    Soak soak;
    const auto loopback = boost::asio::ip::make_address("127.0.0.1");
    soak.server = tcp::endpoint(loopback, static_cast<unsigned short>(std::atoi(argv[1])));
    soak.visca = udp::endpoint(loopback, static_cast<unsigned short>(std::atoi(argv[2])));
    const Clock::time_point started = Clock::now();
    soak.end = started + std::chrono::seconds(std::atoi(argv[3]));

    for (int i = 0; i < 50; ++i) std::make_shared<HttpClicker>(soak, i)->Next();
    for (int i = 0; i < 20; ++i) std::make_shared<SocketPresser>(soak, i)->Next();
    for (int i = 0; i < 20; ++i) std::make_shared<ViscaSender>(soak, i)->Start();
    for (int i = 0; i < 3; ++i) std::make_shared<Flooder>(soak, i)->Next();

    boost::asio::steady_timer clock(soak.io);
    std::function<void(int)> tick = [&](int second) {
        clock.expires_at(started + std::chrono::seconds(second));
        clock.async_wait([&, second](Error error) {
            if (error || soak.Over()) return;
            if (second % 60 == 0) Report(soak, second);
            tick(second + 1);
        });
    };
    tick(1);
    // Past the end, what is under way finishes (a VISCA drive's stop among it); 20 s at most.
    soak.io.run_until(soak.end + std::chrono::seconds(20));
    Report(soak, std::chrono::duration<double>(Clock::now() - started).count());
    const Counts& c = soak.counts;
    const bool got = c.http.count(200) && c.sockets && c.viscaCommands && c.hostile.count(413);
    return got ? 0 : 1;
}

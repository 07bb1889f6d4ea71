// velmoractl serve, the real executable on 127.0.0.1 with a simulated camera: hostile requests are
// answered as the README says and send nothing; keys reach the camera; an event socket hears them
// and its held keys are released when it closes.
#include <poll.h>
#include <signal.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <array>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

namespace beast = boost::beast;
namespace http = boost::beast::http;
using boost::asio::ip::tcp;
using boost::asio::ip::udp;
using namespace std::chrono_literals;

constexpr char kToken[] = "f00dfeed";

// Built with AddressSanitizer, serve is too (one build tree): its shadow memory and quarantine then
// outweigh what serve itself holds, and a bound on its memory says nothing.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VELMORA_ADDRESS_SANITIZER)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

class ServeTest : public VelmoractlTest {
protected:
    void TearDown() override
    {
        if (m_process.state() != QProcess::NotRunning) Stop();
    }

    // hangUpIgnored: started as under nohup, with SIGHUP ignored.
    void Start(const QStringList& options, bool hangUpIgnored = false)
    {
        const std::string trace = m_folder.filePath("trace").toStdString();
        const std::string config = WriteFile("sim.conf", "[sim]\ntrace = " + trace + "\n" + Camera());
        // As an editor on Windows may save it: a byte-order mark, spaces, CRLF.
        WriteFile("token", "\xEF\xBB\xBF " + std::string(kToken) + " \r\n");
        QFile::setPermissions(m_folder.filePath("token"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"VELMORA_SIM_CONFIG", "VELMORA_SIM_TRACE", "VELMORA_SIM_HOTPLUG_DIR"})
            environment.remove(name);
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(m_folder.path());
        const QStringList arguments =
            QStringList{"--backend", "sim",    "--sim-config", QString::fromStdString(config),
                        "serve",     "--http", "127.0.0.1:0"} +
            options;
        if (hangUpIgnored) {
            m_process.start(
                "sh", QStringList{"-c", "trap '' HUP; exec \"$0\" \"$@\"", VELMORACTL_PATH} + arguments);
        } else {
            m_process.start(VELMORACTL_PATH, arguments);
        }
        ASSERT_TRUE(m_process.waitForStarted());
        const QDeadlineTimer deadline(10000);
        while (m_err.find("/v1/ on") == std::string::npos && !deadline.hasExpired()) {
            m_process.waitForReadyRead(100);
            m_err += m_process.readAllStandardError().toStdString();
        }
        const auto at = m_err.find("http://127.0.0.1:");
        ASSERT_NE(at, std::string::npos) << m_err;
        m_port = static_cast<unsigned short>(std::stoi(m_err.substr(at + 17)));
    }

    std::string Stop()
    {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
        EXPECT_TRUE(m_process.waitForFinished(10000));
        EXPECT_EQ(m_process.exitCode(), 0) << m_err << m_process.readAllStandardError().toStdString();
        m_err += m_process.readAllStandardError().toStdString();
        return m_err;
    }

    // from: the client's own loopback address.
    std::unique_ptr<tcp::socket> Connect(const char* from = "127.0.0.1")
    {
        auto socket = std::make_unique<tcp::socket>(m_io);
        socket->open(tcp::v4());
        socket->bind(tcp::endpoint(boost::asio::ip::make_address(from), 0));
        socket->connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), m_port));
        return socket;
    }

    // serve's resident memory, in KiB.
    long ResidentKiB() const
    {
        QFile status(QString("/proc/%1/status").arg(m_process.processId()));
        if (!status.open(QIODevice::ReadOnly)) return -1;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLong();
        }
        return -1;
    }

    std::string Host() const { return "127.0.0.1:" + std::to_string(m_port); }

    // Sends raw bytes on a new connection and reads the one answer.
    http::response<http::string_body> Raw(const std::string& bytes)
    {
        const auto socket = Connect();
        boost::asio::write(*socket, boost::asio::buffer(bytes));
        return Read(*socket);
    }

    http::response<http::string_body> Read(tcp::socket& socket)
    {
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        beast::error_code error;
        http::read(socket, buffer, response, error);
        EXPECT_FALSE(error) << error.message();
        return response;
    }

    std::string Request(const std::string& method, const std::string& target, const std::string& headers,
                        const std::string& body = {})
    {
        return method + " " + target + " HTTP/1.1\r\n" + headers +
               "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }

    // A key click as a client should send it, but for the one header that differs.
    std::string Click(const std::string& key, const std::string& headers)
    {
        return Request("POST", "/v1/keys/" + key + "/click", headers, "{}");
    }
    std::string Good() const
    {
        return "Host: " + Host() + "\r\nAuthorization: Bearer " + kToken +
               "\r\nContent-Type: application/json\r\n";
    }

    std::string TracedWrites()
    {
        QFile trace(m_folder.filePath("trace"));
        if (!trace.open(QIODevice::ReadOnly)) return {};
        std::string writes;
        for (const QByteArray& line : trace.readAll().split('\n')) {
            if (line.startsWith("SET ")) writes += line.mid(line.indexOf("data=") + 5).toStdString() + "\n";
        }
        return writes;
    }

    static std::string Cause(const http::response<http::string_body>& response)
    {
        return QJsonDocument::fromJson(QByteArray::fromStdString(response.body()))["error"]["cause"]
            .toString()
            .toStdString();
    }

    boost::asio::io_context m_io;
    QProcess m_process;
    std::string m_err;
    unsigned short m_port = 0;
};

TEST_F(ServeTest, HostileRequestsAreAnsweredAndSendNothing)
{
    Start({"--token-file", "token", "--idle-limit", "0.5"});
    const std::string host = "Host: " + Host() + "\r\n";
    const std::string json = "Content-Type: application/json\r\n";
    const std::string bearer = std::string("Authorization: Bearer ") + kToken + "\r\n";
    const struct {
        const char* name;
        std::string request;
        unsigned status;
        const char* cause;
    } hostile[] = {
        {"oversized header", Click("menu", Good() + "X-Pad: " + std::string(9000, 'a') + "\r\n"), 431,
         "header-too-large"},
        {"oversized body",
         Request("POST", "/v1/keys/menu/click", Good(), "{\"device\":\"" + std::string(5000, '0') + "\"}"),
         413, "body-too-large"},
        {"no token", Click("menu", host + json), 401, "unauthorised"},
        {"wrong token", Click("menu", host + json + "Authorization: Bearer f00dfeee\r\n"), 401,
         "unauthorised"},
        {"wrong Host",
         Click("menu", "Host: attacker.example:" + std::to_string(m_port) + "\r\n" + bearer + json), 403,
         "host-refused"},
        {"two Hosts", Click("menu", Good() + host), 400, "bad-request"},
        {"foreign Origin", Click("menu", Good() + "Origin: http://attacker.example\r\n"), 403,
         "origin-refused"},
        {"preflight", Request("OPTIONS", "/v1/keys/menu/click", host + "Origin: http://attacker.example\r\n"),
         403, "origin-refused"},
        {"another local port's Origin", Click("menu", Good() + "Origin: http://127.0.0.1:3000\r\n"), 403,
         "origin-refused"},
        {"another site's GET", Request("GET", "/v1/status", Good() + "Sec-Fetch-Site: cross-site\r\n"), 403,
         "origin-refused"},
        {"form-encoded POST",
         Request("POST", "/v1/keys/menu/click",
                 host + bearer + "Content-Type: application/x-www-form-urlencoded\r\n", "a=b"),
         415, "json-required"},
        {"body not JSON", Request("POST", "/v1/keys/menu/click", Good(), "menu"), 400, "bad-json"},
        {"unknown key", Click("joystick", Good()), 404, "unknown-key"},
        {"unknown action", Request("POST", "/v1/keys/menu/smash", Good(), "{}"), 404, "unknown-action"},
        {"GET on a key", Request("GET", "/v1/keys/menu/click", Good()), 405, "method-not-allowed"},
        {"unknown device", Request("POST", "/v1/keys/menu/click?device=7", Good(), "{}"), 404, "no-device"},
        {"not HTTP", "HELLO\r\n\r\n", 400, "bad-request"},
        {"HTTP/1.0", "POST /v1/keys/menu/click HTTP/1.0\r\n" + Good() + "Content-Length: 2\r\n\r\n{}", 400,
         "bad-request"},
        {"two Origins", Click("menu", Good() + "Origin: http://localhost\r\nOrigin: http://localhost\r\n"),
         400, "bad-request"},
        {"two Content-Types", Click("menu", Good() + "Content-Type: application/json\r\n"), 400,
         "bad-request"},
    };
    for (const auto& attempt : hostile) {
        SCOPED_TRACE(attempt.name);
        const auto response = Raw(attempt.request);
        EXPECT_EQ(response.result_int(), attempt.status) << attempt.name << ": " << response.body();
        EXPECT_EQ(Cause(response), attempt.cause) << attempt.name;
    }

    // The page needs no token, and runs only as itself, never framed elsewhere, never cached stale.
    const auto page = Raw(Request("GET", "/", host));
    EXPECT_EQ(page.result_int(), 200u);
    EXPECT_NE(std::string(page["Content-Security-Policy"]).find("frame-ancestors 'self'"), std::string::npos);
    EXPECT_EQ(std::string(page["X-Content-Type-Options"]), "nosniff");
    EXPECT_EQ(std::string(page[http::field::cache_control]), "no-cache");

    // A slow client is cut off at the idle limit while others are served.
    const auto slow = Connect();
    boost::asio::write(*slow, boost::asio::buffer("POST /v1/keys/menu/click HTTP/1.1\r\n" + host));
    EXPECT_EQ(Raw(Request("GET", "/v1/devices", Good())).result_int(), 200u);
    EXPECT_EQ(Read(*slow).result_int(), 408u);

    // 200 connections opened and dropped mid-request leave the server as it was.
    std::vector<std::unique_ptr<tcp::socket>> dropped;
    for (int i = 0; i < 200; ++i) {
        beast::error_code ignored;
        dropped.push_back(Connect());
        const std::string cut =
            "POST /v1/keys/menu/click HTTP/1.1\r\n" + Good() + "Content-Length: 2\r\n\r\n{";
        boost::asio::write(*dropped.back(),
                           boost::asio::buffer(cut.substr(0, static_cast<std::size_t>(i) % cut.size())),
                           ignored);
    }
    dropped.clear();
    EXPECT_EQ(TracedWrites(), KeyPacket(0x16) + "\n");  // the release at start alone

    // Until the server has seen them go, the dropped ones still count against the connection limit.
    auto clicked = Raw(Click("menu", Good()));
    for (int i = 0; i < 50 && Cause(clicked) == "too-many-connections"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        clicked = Raw(Click("menu", Good()));
    }
    EXPECT_EQ(clicked.result_int(), 200u) << clicked.body();

    // A client that waits for "100 Continue" before its body hears it.
    const auto waiting = Connect();
    boost::asio::write(*waiting, boost::asio::buffer("POST /v1/keys/menu/click HTTP/1.1\r\n" + Good() +
                                                     "Expect: 100-continue\r\nContent-Length: 2\r\n\r\n"));
    std::string interim(25, '\0');
    boost::asio::read(*waiting, boost::asio::buffer(interim));
    EXPECT_EQ(interim, "HTTP/1.1 100 Continue\r\n\r\n");
    boost::asio::write(*waiting, boost::asio::buffer(std::string("{}")));
    EXPECT_EQ(Read(*waiting).result_int(), 200u);

    // The release at start, once, and the two clicks.
    EXPECT_EQ(TracedWrites(), KeyPacket(0x16) + "\n" + KeyPacket(0x05) + "\n" + KeyPacket(0x05) + "\n");
    EXPECT_NE(Stop().find(" 127.0.0.1:"), std::string::npos) << m_err;
    EXPECT_NE(m_err.find("token can be read by other users (mode 0640)"), std::string::npos) << m_err;
}

// A request that never ends, sent at full speed (a chunk extension, trailer lines, a chunk-size
// line), is answered 413 once it passes what one request may buffer, while other clients are
// served, and the server's memory stays small.
TEST_F(ServeTest, RequestsThatNeverEndAreCutOffAtTheBufferBound)
{
    Start({"--quiet", "--idle-limit", "30"});
    const std::string header = "POST /v1/keys/menu/click HTTP/1.1\r\nHost: " + Host() +
                               "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n";
    const struct {
        const char* name;
        std::string start;
        std::string repeated;
    } floods[] = {
        {"chunk extension", header + "2", ";a=b"},
        {"trailer lines", header + "2\r\n{}\r\n0\r\n", "X-A: b\r\n"},
        {"chunk-size line", header, "0"},
    };
    constexpr std::size_t kGiveUp = 4 << 20;
    for (const auto& flood : floods) {
        SCOPED_TRACE(flood.name);
        auto socket = Connect();
        // A small send buffer: what the client sent is close to what reached the server.
        socket->set_option(boost::asio::socket_base::send_buffer_size(4096));
        boost::asio::write(*socket, boost::asio::buffer(flood.start));
        std::string piece;
        while (piece.size() < 4096) piece += flood.repeated;
        boost::asio::write(*socket, boost::asio::buffer(piece));
        // Meanwhile another client is answered.
        EXPECT_EQ(Raw(Request("GET", "/v1/devices", "Host: " + Host() + "\r\n")).result_int(), 200u);
        socket->non_blocking(true);
        std::size_t sent = piece.size();
        for (pollfd poll{socket->native_handle(), POLLIN | POLLOUT, 0}; sent < kGiveUp;) {
            if (::poll(&poll, 1, 5000) <= 0 || (poll.revents & (POLLIN | POLLERR | POLLHUP))) break;
            beast::error_code error;
            sent += socket->write_some(boost::asio::buffer(piece), error);
            if (error && error != boost::asio::error::would_block) break;
        }
        socket->non_blocking(false);
        EXPECT_LT(sent, 256u << 10) << "no answer while the client sent " << sent << " bytes";
        EXPECT_EQ(Read(*socket).result_int(), 413u);
    }
    if (!kAddressSanitizer) {
        EXPECT_LT(ResidentKiB(), 64 << 10);
    }
    EXPECT_EQ(TracedWrites(), KeyPacket(0x16) + "\n");
}

// Sockets opened and left silent from one address cannot keep out a client from another.
TEST_F(ServeTest, OneAddressCannotTakeEveryConnection)
{
    Start({"--token-file", "token", "--quiet"});
    std::vector<std::unique_ptr<tcp::socket>> silent;
    for (int i = 0; i < 64; ++i) silent.push_back(Connect("127.0.0.2"));
    const auto refused = Read(*silent.back());
    EXPECT_EQ(refused.result_int(), 503u);
    EXPECT_NE(refused.body().find("from 127.0.0.2"), std::string::npos) << refused.body();
    EXPECT_EQ(Raw(Request("GET", "/v1/devices", Good())).result_int(), 200u);
}

// The socket hears keys sent by others, sends its own, and what it pressed is released when it
// closes; a press over HTTP is released when serve stops.
TEST_F(ServeTest, AnEventSocketHearsKeysAndItsHoldsEndWithIt)
{
    Start({"--quiet"});
    beast::websocket::stream<tcp::socket> socket(m_io);
    socket.next_layer().connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), m_port));
    socket.handshake(Host(), "/v1/events");
    const auto next = [&socket] {
        beast::flat_buffer buffer;
        socket.read(buffer);
        return QJsonDocument::fromJson(QByteArray::fromStdString(beast::buffers_to_string(buffer.data())))
            .object();
    };
    const QJsonObject hello = next();
    EXPECT_EQ(hello["event"].toString(), "hello");
    EXPECT_EQ(hello["served"].toString(), hello["devices"].toArray().at(0)["id"].toString());
    EXPECT_EQ(Raw(Request("POST", "/v1/keys/lock1/click",
                          "Host: localhost\r\nContent-Type: application/json\r\n", "{}"))
                  .result_int(),
              200u);
    const QJsonObject heard = next();
    EXPECT_EQ(heard["event"].toString(), "key");
    EXPECT_EQ(heard["key"].toString(), "lock1");

    socket.write(boost::asio::buffer(std::string(R"({"key": "zoom-in", "action": "press", "id": 7})")));
    QJsonObject reply = next();
    if (reply["event"] == "key") reply = next();
    EXPECT_EQ(reply["event"].toString(), "reply");
    EXPECT_EQ(reply["id"].toInt(), 7);
    EXPECT_EQ(reply["events"].toArray().at(0)["packet"].toString().toStdString(), KeyPacket(0x03));
    socket.close(beast::websocket::close_code::normal);

    // A first message sent in the same segment as the upgrade request is heard.
    const auto eager = Connect();
    const std::string message = R"({"key": "menu", "id": 8})";
    std::string frame{'\x81', static_cast<char>(0x80 | message.size()), 0, 0, 0, 0};  // masked, mask 0
    boost::asio::write(*eager,
                       boost::asio::buffer("GET /v1/events HTTP/1.1\r\nHost: localhost\r\nUpgrade: "
                                           "websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: "
                                           "dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n" +
                                           frame + message));
    std::string heardByEager;
    std::array<char, 4096> bytes{};
    while (heardByEager.find(R"("id":8)") == std::string::npos) {
        beast::error_code error;
        heardByEager.append(bytes.data(), eager->read_some(boost::asio::buffer(bytes), error));
        if (error) break;
    }
    EXPECT_NE(heardByEager.find(R"("event":"reply")"), std::string::npos) << heardByEager;

    EXPECT_EQ(Raw(Request("POST", "/v1/keys/focus-out/press",
                          "Host: localhost\r\nContent-Type: application/json\r\n", "{}"))
                  .result_int(),
              200u);
    EXPECT_NE(Stop().find("1 held key(s) released"), std::string::npos) << m_err;
    EXPECT_EQ(TracedWrites(), KeyPacket(0x16) + "\n" + KeyPacket(0x10) + "\n" + KeyPacket(0x16) + "\n" +
                                  KeyPacket(0x03) + "\n" + KeyPacket(0x16) + "\n" + KeyPacket(0x05) + "\n" +
                                  KeyPacket(0x06) + "\n" + KeyPacket(0x16) + "\n");
}

// SIGHUP (a closed terminal or ssh session) stops serve as SIGTERM does, releasing what is held;
// started with it ignored (nohup), serve keeps running.
TEST_F(ServeTest, HangUpReleasesUnlessIgnored)
{
    const std::string press = Request("POST", "/v1/keys/zoom-in/press",
                                      "Host: localhost\r\nContent-Type: application/json\r\n", "{}");
    Start({"--quiet"});
    EXPECT_EQ(Raw(press).result_int(), 200u);
    ::kill(static_cast<pid_t>(m_process.processId()), SIGHUP);
    ASSERT_TRUE(m_process.waitForFinished(10000));
    m_err += m_process.readAllStandardError().toStdString();
    EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_process.exitCode(), 0);
    EXPECT_NE(m_err.find("1 held key(s) released"), std::string::npos) << m_err;
    EXPECT_EQ(TracedWrites(), KeyPacket(0x16) + "\n" + KeyPacket(0x03) + "\n" + KeyPacket(0x16) + "\n");

    m_err.clear();
    Start({"--quiet"}, true);
    ::kill(static_cast<pid_t>(m_process.processId()), SIGHUP);
    EXPECT_FALSE(m_process.waitForFinished(500));
    EXPECT_EQ(Raw(press).result_int(), 200u);
    EXPECT_NE(Stop().find("1 held key(s) released"), std::string::npos) << m_err;
}

// VISCA beside HTTP, from loopback: a zoom tele and its retransmission act once and are answered
// twice; an unknown message is a syntax error and sends nothing; a drive in a new direction releases
// the key held first; the hold limit releases a VISCA-held key; a sender not allowed gets no answer.
TEST_F(ServeTest, ViscaDatagramsDriveTheKeypadOnceEach)
{
    Start({"--visca", "127.0.0.1:0", "--visca-allow", "127.0.0.1", "--hold-limit", "0.5", "--quiet",
           "--no-release-at-start"});
    const auto at = m_err.find("udp 127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << m_err;
    const udp::endpoint visca(boost::asio::ip::make_address("127.0.0.1"),
                              static_cast<unsigned short>(std::stoi(m_err.substr(at + 14))));
    const auto socketOn = [this](const char* address) {
        return std::make_unique<udp::socket>(m_io, udp::endpoint(boost::asio::ip::make_address(address), 0));
    };
    const auto controller = socketOn("127.0.0.1");
    const auto send = [&visca](udp::socket& from, std::uint8_t sequence, std::vector<std::uint8_t> message) {
        message.insert(message.begin(),
                       {0x01, 0x00, 0x00, static_cast<std::uint8_t>(message.size()), 0, 0, 0, sequence});
        from.send_to(boost::asio::buffer(message), visca);
    };
    // The replies that come within the time, each as "SEQUENCE: MESSAGE" after a reply header.
    const auto replies = [this](udp::socket& to, std::size_t count, std::chrono::milliseconds wait) {
        std::string text;
        std::array<std::uint8_t, 64> buffer{};
        std::function<void()> next = [&] {
            to.async_receive(boost::asio::buffer(buffer), [&](beast::error_code error, std::size_t size) {
                if (error || size < 9 || buffer[0] != 0x01 || buffer[1] != 0x11) return;
                text += std::to_string(buffer[7]) + ":";
                for (std::size_t i = 8; i < size; ++i)
                    text += " " + QByteArray(1, char(buffer[i])).toHex().toStdString();
                text += "|";
                if (--count) next();
            });
        };
        next();
        m_io.restart();
        m_io.run_for(wait);
        to.cancel();
        m_io.restart();
        m_io.run();
        return text;
    };
    const std::vector<std::uint8_t> menu{0x81, 0x01, 0x06, 0x06, 0x10, 0xFF};
    send(*controller, 1, menu);
    send(*controller, 1, menu);
    EXPECT_EQ(replies(*controller, 4, 5s), "1: 90 41 ff|1: 90 51 ff|1: 90 41 ff|1: 90 51 ff|");
    send(*controller, 2, {0x81, 0x01, 0x04, 0x99, 0xFF});
    EXPECT_EQ(replies(*controller, 1, 5s), "2: 90 60 02 ff|");
    const std::vector<std::uint8_t> zoomTele{0x81, 0x01, 0x04, 0x07, 0x02, 0xFF};
    send(*controller, 3, zoomTele);
    send(*controller, 4, {0x81, 0x01, 0x06, 0x01, 0x08, 0x08, 0x01, 0x03, 0xFF});  // drive left, right behind
    EXPECT_EQ(replies(*controller, 4, 5s), "3: 90 41 ff|3: 90 51 ff|4: 90 41 ff|4: 90 51 ff|");
    const std::string drive =
        KeyPacket(0x05) + "\n" + KeyPacket(0x03) + "\n" + KeyPacket(0x16) + "\n" + KeyPacket(0x04) + "\n";
    EXPECT_EQ(TracedWrites(), drive);
    const QDeadlineTimer deadline(5000);
    while (TracedWrites() == drive && !deadline.hasExpired()) std::this_thread::sleep_for(50ms);
    send(*controller, 5, {0x81, 0x01, 0x04, 0x07, 0x00, 0xFF});  // zoom stop: nothing is held
    EXPECT_EQ(replies(*controller, 2, 5s), "5: 90 41 ff|5: 90 51 ff|");
    const auto stranger = socketOn("127.0.0.2");
    send(*stranger, 1, zoomTele);
    EXPECT_EQ(replies(*stranger, 1, 300ms), "");
    EXPECT_EQ(TracedWrites(), drive + KeyPacket(0x16) + "\n");
    EXPECT_NE(Stop().find("VISCA: 7 datagram(s), 1 from senders not allowed dropped"), std::string::npos)
        << m_err;
}

// Listening beyond loopback needs a token (HTTP) or an allow-list (VISCA); a mapping file's bad
// lines are each named; a token or mapping file that is no small regular file is named so.
TEST_F(ServeTest, ListenersRefuseToStartWithoutTheirSafeguard)
{
    WriteFile("map", "zoom-tele press zoom-in\nzoom-wide press zoom\nmenu-on smash menu\n");
    WriteFile("empty", "");
    WriteFile("long-token", std::string(1025, 'a') + "\n");
    const struct {
        QStringList options;
        std::vector<std::string> said;
    } refused[] = {
        {{"--http", "0.0.0.0:0"}, {"not a loopback address, needs --token-file"}},
        {{"--visca", "0.0.0.0:0"}, {"needs at least one --visca-allow ADDR[/BITS]"}},
        {{"--visca", "127.0.0.1:0", "--visca-map", "map"},
         {"map: line 2: unknown key 'zoom'", "map: line 3: unknown action 'smash'"}},
        {{"--visca", "127.0.0.1:0", "--visca-map", "/dev/zero"},
         {"--visca-map /dev/zero: is not a regular file"}},
        {{"--visca", "127.0.0.1:0", "--visca-map", "."}, {"--visca-map .: is a directory"}},
        {{"--token-file", "empty"}, {"--token-file empty: is empty"}},
        {{"--token-file", "long-token"}, {"1025 bytes long; at most 1024"}},
        {{"--macros", "shots"}, {"shots: line 2: ", "shots: line 4: ", "bad line(s) 2, 4 in shots"}},
        {{"--macros", "missing"}, {"missing: cannot be read"}},
        {{"--macros", "short", "--visca", "127.0.0.1:0", "--visca-map", "recall"},
         {"recall: line 1: no macro wide in short"}},
        {{"--macros", "short", "--visca", "127.0.0.1:0", "--visca-map", "long", "--hold-limit", "2"},
         {"long: line 1: the nudge of 2500 ms is longer than the hold limit (2000 ms)"}},
    };
    WriteFile("shots", "[wide]\nnudge zoom-in 0\n[reset]\nclick nothing\n");
    WriteFile("short", "[reset]\nclick normal\n");
    WriteFile("recall", "memory-recall 5 macro wide\n");
    WriteFile("long", "zoom-tele nudge zoom-in 2500\n");
    for (const auto& attempt : refused) {
        const CtlResult result = Run(Camera(), QStringList{"serve"} + attempt.options);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        for (const std::string& said : attempt.said)
            EXPECT_NE(result.err.find(said), std::string::npos) << result.err;
    }
}

// A macro cancelled from any front end lets go of the key it holds before anything else reaches the
// camera, and once: a key clicked over HTTP in its wait, a key on the socket in a nudge, DELETE, a
// VISCA drive in a macro a memory recall started, the socket that tied a macro to itself closing,
// and serve stopping.
TEST_F(ServeTest, ACancelledMacroReleasesFirstAndOnce)
{
    WriteFile("macros", "[hold]\npress zoom-out\nwait 1500\nrelease\n[nudge]\nnudge zoom-in 1500\n");
    WriteFile("map", "zoom-tele press zoom-in\nmemory-recall 5 macro hold\n");
    Start({"--macros", "macros", "--visca", "127.0.0.1:0", "--visca-map", "map", "--quiet",
           "--no-release-at-start"});
    const auto at = m_err.find("udp 127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << m_err;
    udp::socket controller(m_io, udp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
    const udp::endpoint visca(boost::asio::ip::make_address("127.0.0.1"),
                              static_cast<unsigned short>(std::stoi(m_err.substr(at + 14))));
    std::string expected;
    // Waits until the camera has had these writes as well.
    const auto wrote = [this, &expected](std::initializer_list<int> data) {
        for (const int each : data) expected += KeyPacket(static_cast<std::uint8_t>(each)) + "\n";
        const QDeadlineTimer deadline(5000);
        while (TracedWrites().size() < expected.size() && !deadline.hasExpired())
            std::this_thread::sleep_for(10ms);
        ASSERT_EQ(TracedWrites(), expected);
    };
    const std::string json = "Host: localhost\r\nContent-Type: application/json\r\n";
    const auto reason = [](const http::response<http::string_body>& answer) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(answer.body()))["reason"]
            .toString()
            .toStdString();
    };

    const auto running = Connect();
    boost::asio::write(*running, boost::asio::buffer(Request("POST", "/v1/macros/hold", json, "{}")));
    wrote({0x07});
    EXPECT_EQ(Raw(Click("menu", json)).result_int(), 200u);
    const auto cancelled = Read(*running);
    EXPECT_EQ(cancelled.result_int(), 409u);
    EXPECT_EQ(reason(cancelled), "key-pressed");
    wrote({0x16, 0x05});

    beast::websocket::stream<tcp::socket> socket(m_io);
    socket.next_layer().connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), m_port));
    socket.handshake(Host(), "/v1/events");
    socket.write(boost::asio::buffer(std::string(R"({"macro": "nudge"})")));
    wrote({0x03});
    socket.write(boost::asio::buffer(std::string(R"({"key": "menu"})")));
    wrote({0x16, 0x05});

    boost::asio::write(*running, boost::asio::buffer(Request("POST", "/v1/macros/hold", json, "{}")));
    wrote({0x07});
    EXPECT_EQ(Raw(Request("DELETE", "/v1/macros/running", "Host: localhost\r\n")).result_int(), 200u);
    EXPECT_EQ(reason(Read(*running)), "cancelled");
    wrote({0x16});

    const auto datagram = [&](std::vector<std::uint8_t> message) {
        controller.send_to(boost::asio::buffer(message), visca);
    };
    datagram({0x81, 0x01, 0x04, 0x3F, 0x02, 0x05, 0xFF});  // memory recall 5: macro hold
    wrote({0x07});
    datagram({0x81, 0x01, 0x04, 0x07, 0x02, 0xFF});  // zoom tele
    wrote({0x16, 0x03});

    // One keypad lets go of VISCA's zoom-in for the macro's press.
    socket.write(boost::asio::buffer(std::string(R"({"macro": "hold", "cancelOnClose": true})")));
    wrote({0x16, 0x07});
    socket.close(beast::websocket::close_code::normal);
    wrote({0x16});

    // Past the time their steps were due, the cancelled runs have sent nothing more.
    std::this_thread::sleep_for(1600ms);
    wrote({});
    boost::asio::write(*running, boost::asio::buffer(Request("POST", "/v1/macros/hold", json, "{}")));
    wrote({0x07});
    EXPECT_NE(Stop().find("1 held key(s) released"), std::string::npos) << m_err;
    wrote({0x16});
}

}  // namespace
}  // namespace velmoractl_test

// velmoractl serve, the real executable on 127.0.0.1 with a simulated camera: hostile requests are
// answered as the README says and send nothing; keys reach the camera; an event socket hears them
// and its held keys are released when it closes.
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

class ServeTest : public VelmoractlTest {
protected:
    void TearDown() override
    {
        if (m_process.state() != QProcess::NotRunning) Stop();
    }

    void Start(const QStringList& options)
    {
        const std::string trace = m_folder.filePath("trace").toStdString();
        const std::string config = WriteFile("sim.conf", "[sim]\ntrace = " + trace + "\n" + Camera());
        WriteFile("token", std::string(kToken) + "\n");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"VELMORA_SIM_CONFIG", "VELMORA_SIM_TRACE", "VELMORA_SIM_HOTPLUG_DIR"})
            environment.remove(name);
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(m_folder.path());
        m_process.start(VELMORACTL_PATH,
                        QStringList{"--backend", "sim", "--sim-config", QString::fromStdString(config),
                                    "serve", "--http", "127.0.0.1:0"} +
                            options);
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

    std::unique_ptr<tcp::socket> Connect()
    {
        auto socket = std::make_unique<tcp::socket>(m_io);
        socket->connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), m_port));
        return socket;
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
    EXPECT_EQ(TracedWrites(), "");

    // Until the server has seen them go, the dropped ones still count against the connection limit.
    auto clicked = Raw(Click("menu", Good()));
    for (int i = 0; i < 50 && Cause(clicked) == "too-many-connections"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        clicked = Raw(Click("menu", Good()));
    }
    EXPECT_EQ(clicked.result_int(), 200u) << clicked.body();
    EXPECT_EQ(TracedWrites(), KeyPacket(0x05) + "\n");
    EXPECT_NE(Stop().find(" 127.0.0.1:"), std::string::npos) << m_err;
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

    EXPECT_EQ(Raw(Request("POST", "/v1/keys/focus-out/press",
                          "Host: localhost\r\nContent-Type: application/json\r\n", "{}"))
                  .result_int(),
              200u);
    EXPECT_NE(Stop().find("1 held key(s) released"), std::string::npos) << m_err;
    EXPECT_EQ(TracedWrites(), KeyPacket(0x10) + "\n" + KeyPacket(0x16) + "\n" + KeyPacket(0x03) + "\n" +
                                  KeyPacket(0x16) + "\n" + KeyPacket(0x06) + "\n" + KeyPacket(0x16) + "\n");
}

// VISCA beside HTTP, from loopback: a zoom tele and its retransmission act once and are answered
// twice; an unknown message is a syntax error and sends nothing; a drive in a new direction releases
// the key held first; the hold limit releases a VISCA-held key; a sender not allowed gets no answer.
TEST_F(ServeTest, ViscaDatagramsDriveTheKeypadOnceEach)
{
    Start({"--visca", "127.0.0.1:0", "--visca-allow", "127.0.0.1", "--hold-limit", "0.5", "--quiet"});
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
// lines are each named.
TEST_F(ServeTest, ListenersRefuseToStartWithoutTheirSafeguard)
{
    WriteFile("map", "zoom-tele press zoom-in\nzoom-wide press zoom\nmenu-on smash menu\n");
    const struct {
        QStringList options;
        std::vector<std::string> said;
    } refused[] = {
        {{"--http", "0.0.0.0:0"}, {"not a loopback address, needs --token-file"}},
        {{"--visca", "0.0.0.0:0"}, {"needs at least one --visca-allow ADDR[/BITS]"}},
        {{"--visca", "127.0.0.1:0", "--visca-map", "map"},
         {"map: line 2: unknown key 'zoom'", "map: line 3: unknown action 'smash'"}},
    };
    for (const auto& attempt : refused) {
        const CtlResult result = Run(Camera(), QStringList{"serve"} + attempt.options);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        for (const std::string& said : attempt.said)
            EXPECT_NE(result.err.find(said), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace velmoractl_test

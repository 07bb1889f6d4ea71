// velmoractl serve, the real executable on 127.0.0.1 with a simulated camera: hostile requests are
// answered as the README says and send nothing; keys reach the camera; an event socket hears them
// and its held keys are released when it closes.
#include <signal.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <memory>
#include <thread>

#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

namespace beast = boost::beast;
namespace http = boost::beast::http;
using boost::asio::ip::tcp;

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

TEST_F(ServeTest, AnyAddressButLoopbackNeedsAToken)
{
    const CtlResult result = Run(Camera(), {"serve", "--http", "0.0.0.0:0"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("not a loopback address, needs --token-file"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace velmoractl_test

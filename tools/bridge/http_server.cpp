#include "tools/bridge/http_server.h"

#include <QJsonObject>
#include <algorithm>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket/rfc6455.hpp>
#include <cstdio>
#include <optional>

#include "tools/bridge/bridge_json.h"
#include "tools/bridge/event_socket.h"
#include "tools/bridge/http_reader.h"
#include "tools/bridge/http_view.h"
#include "tools/bridge/keypad_page.h"
#include "tools/bridge/serve_log.h"

namespace velmora::bridge {

namespace beast = boost::beast;
namespace http = boost::beast::http;
using boost::asio::ip::tcp;

namespace {

struct Peer {
    std::string client;   // "127.0.0.1:41644", as the log names it
    std::string address;  // "127.0.0.1", what the per-address limit counts
};

Peer PeerOf(const tcp::socket& socket)
{
    boost::system::error_code error;
    const tcp::endpoint peer = socket.remote_endpoint(error);
    if (error) return {"unknown", "unknown"};
    return {EndpointText(peer.address(), peer.port()), peer.address().to_string()};
}

std::string Line(const QJsonObject& object)
{
    return Compact(object).toStdString() + "\n";
}

std::string RefusalAnswer(const Decision& decision)
{
    BridgeFailure failure{FailureKind::BadRequest, decision.cause, decision.message, std::nullopt};
    return Line(FailureAnswer(failure));
}

// One HTTP connection: requests read and answered in turn, until the client or a limit ends it.
//
// Each read phase (one request, from the wait for its first byte to its end) has a number of its
// own, and a phase ends (the request came whole, was refused or ran out of time) by taking the next
// number. Every read and every deadline wait carries the number of the phase that began it and does
// nothing once that phase is over: a deadline that expired in the same turn as its request came
// cannot cancel or answer the next request, and a read still pending when the deadline answered 408
// is ignored. The deadline closes the connection itself, whatever the reads are doing, and what one
// request may buffer is bounded by HttpReader.
class Connection : public Closable, public std::enable_shared_from_this<Connection> {
public:
    Connection(std::shared_ptr<ServeContext> context, tcp::socket socket)
        : m_context(std::move(context)),
          m_peer(PeerOf(socket)),
          m_deadline(socket.get_executor()),
          m_stream(std::move(socket)),
          m_reader(m_context->limits.headerBytes, m_context->limits.bodyBytes)
    {
    }
    ~Connection() override
    {
        if (m_id) m_context->Closed(m_id);
    }

    const std::string& Address() const { return m_peer.address; }

    void Start()
    {
        m_id = m_context->Open(weak_from_this(), m_peer.address);
        ReadNext();
    }

    // Over a connection limit: a 503 at once, then the connection is closed.
    void Refuse(std::string message)
    {
        m_started = std::chrono::steady_clock::now();
        Decision refusal;
        refusal.status = 503;
        refusal.cause = "too-many-connections";
        refusal.message = std::move(message);
        Answer(refusal, RefusalAnswer(refusal), false);
    }

    void Close() override
    {
        m_deadline.cancel();
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        m_stream.close();
    }

private:
    void ReadNext()
    {
        // A watch read still out: it reads the next request on once it returns.
        if (m_watchRead) {
            m_readAfterWatch = true;
            return;
        }
        const std::uint64_t phase = ++m_phase;
        m_reader.Next();
        m_stream.expires_never();
        std::chrono::milliseconds limit = m_context->limits.idle;
        if (!m_served) limit = std::min(limit, m_context->limits.firstRequest);
        m_deadline.expires_after(limit);
        m_deadline.async_wait([self = shared_from_this(), phase](beast::error_code error) {
            if (!error && phase == self->m_phase) self->TimedOut();
        });
        ReadOn(phase, m_reader.Parse());
    }

    // Reads until the request is whole or refused.
    void ReadOn(std::uint64_t phase, HttpReader::State state)
    {
        if (state == HttpReader::State::Done) return OnRequest();
        if (state == HttpReader::State::Refused) return OnRefused();
        if (m_reader.TakeContinue()) {
            // The client waits for this before it sends the body.
            static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
            m_writing = true;
            return boost::asio::async_write(
                m_stream, boost::asio::buffer(kContinue),
                [self = shared_from_this(), phase](beast::error_code error, std::size_t) {
                    self->m_writing = false;
                    if (phase != self->m_phase) return;
                    if (error) return self->Close();
                    self->ReadOn(phase, HttpReader::State::NeedMore);
                });
        }
        m_stream.async_read_some(
            m_reader.Space(), [self = shared_from_this(), phase](beast::error_code error, std::size_t count) {
                if (phase != self->m_phase) return;
                if (error) {
                    // Gone, or idle between requests: nobody to answer.
                    ++self->m_phase;
                    return self->Close();
                }
                self->ReadOn(phase, self->m_reader.Commit(count));
            });
    }

    // While a macro the client tied to this connection runs: a read that hears the client go (and
    // then cancels the run). What it reads (a pipelined request) stays in the reader's buffer, past
    // the request answered, as the next request's beginning.
    void WatchWhileRunning(Owner starter)
    {
        m_watching = true;
        const boost::asio::mutable_buffer space = m_reader.Space();
        if (space.size() == 0) return;  // the buffer is full: the client is there, sending
        m_watchRead = true;
        m_stream.async_read_some(
            space, [self = shared_from_this(), starter](beast::error_code error, std::size_t count) {
                self->m_watchRead = false;
                self->m_reader.Commit(count);
                if (error && self->m_watching && error != boost::asio::error::operation_aborted)
                    self->m_context->core.OwnerGone(starter);
                else if (!error && self->m_watching)
                    self->WatchWhileRunning(starter);
                if (self->m_readAfterWatch) {
                    self->m_readAfterWatch = false;
                    self->ReadNext();
                }
            });
    }

    void StopWatching()
    {
        if (!m_watching) return;
        m_watching = false;
        beast::error_code ignored;
        if (m_watchRead) m_stream.socket().cancel(ignored);
    }

    // The phase ends; what the request said so far is kept for the log line.
    void EndPhase()
    {
        ++m_phase;
        m_deadline.cancel();
        m_started = std::chrono::steady_clock::now();
        m_method.clear();
        m_target.clear();
        if (m_reader.Request().is_header_done()) {
            m_method = std::string(m_reader.Request().get().method_string());
            m_target = std::string(m_reader.Request().get().target());
        }
    }

    void OnRequest()
    {
        EndPhase();
        m_served = true;
        Dispatch(DecideRequest(ViewOf(m_reader.Request().get()), m_context->policy));
    }

    void OnRefused()
    {
        EndPhase();
        Answer(m_reader.Refusal(), RefusalAnswer(m_reader.Refusal()), false);
    }

    void TimedOut()
    {
        const bool begun = m_reader.Begun();
        EndPhase();
        if (m_writing || !begun) return Close();
        Decision refusal;
        refusal.status = 408;
        refusal.cause = "timeout";
        refusal.message = "the request did not arrive in time";
        Answer(refusal, RefusalAnswer(refusal), false);
    }

    // The stream leaves the connection only here, and the connection leaves the server's list of
    // open connections first: Stop, which reaches connections through that list alone, can never
    // find one whose stream is gone.
    beast::tcp_stream HandOver()
    {
        m_context->Closed(m_id);
        m_id = 0;
        return std::move(m_stream);
    }

    void Dispatch(const Decision& decision)
    {
        const auto self = shared_from_this();
        ServeContext& context = *m_context;
        switch (decision.route) {
            case Route::Refused:
                return Answer(decision, RefusalAnswer(decision), true);
            case Route::Page:
                return AnswerPage();
            case Route::Renew:
                break;
            case Route::Info: {
                QJsonObject info;
                info.insert("ok", true);
                info.insert("api", "v1");
                info.insert("holdLimitSeconds", static_cast<double>(context.core.HoldLimit().count()) / 1000);
                info.insert("devices", static_cast<int>(context.core.Devices().size()));
                return Answer(decision, Line(info), true);
            }
            case Route::Devices:
                return Answer(decision, Line(DevicesAnswer(context.core.Devices())), true);
            case Route::Keys:
                return Answer(decision, Line(KeysAnswer()), true);
            case Route::Key: {
                KeyRequest request;
                request.client = m_peer.client;
                request.device = decision.device;
                request.keyIndex = decision.keyIndex;
                request.action = decision.action;
                return context.core.Key(request, [self](const KeyOutcome& outcome) {
                    self->AnswerOutcome(outcome.failure, self->m_context->keyAnswers.Text(outcome));
                });
            }
            case Route::Macros:
                return Answer(decision, Line(MacrosAnswer(context.macros, context.core.RunningMacros())),
                              true);
            case Route::Nudge:
            case Route::RunMacro: {
                Decision refused;
                std::optional<Macro> macro =
                    MacroOf(decision, context.macros, context.core.HoldLimit(), refused);
                if (!macro) return Answer(refused, RefusalAnswer(refused), true);
                const Owner starter = decision.cancelOnClose ? context.core.NewOwner() : HttpOwner;
                MacroRequest request{starter, m_peer.client, decision.device, std::move(*macro),
                                     decision.cancelOnClose};
                if (decision.cancelOnClose) WatchWhileRunning(starter);
                return context.core.RunMacro(std::move(request), [self](const MacroOutcome& outcome) {
                    self->StopWatching();
                    self->AnswerOutcome(outcome.failure, Line(MacroAnswer(outcome)));
                });
            }
            case Route::CancelMacro: {
                QJsonObject answer;
                answer.insert("ok", true);
                answer.insert("cancelled",
                              static_cast<int>(context.core.CancelMacros(decision.device, m_peer.client)));
                return Answer(decision, Line(answer), true);
            }
            case Route::Status:
                return context.core.ReadStatus(decision.device, [self](const StatusOutcome& outcome) {
                    self->AnswerOutcome(outcome.failure, Line(StatusAnswer(outcome)));
                });
            case Route::Zoom:
                return context.core.ReadZoom(decision.device, [self](const ZoomOutcome& outcome) {
                    self->AnswerOutcome(outcome.failure, Line(ZoomAnswer(outcome)));
                });
            case Route::Events: {
                LogRequest(context, m_peer.client, m_method, m_target, 101, m_started);
                std::string rest = m_reader.TakeRest();
                auto socket = std::make_shared<EventSocket>(m_context, HandOver(), std::move(rest),
                                                            m_peer.client, m_peer.address);
                return socket->Start(m_reader.Request().release(), decision.protocol);
            }
        }
    }

    void AnswerOutcome(const std::optional<BridgeFailure>& failure, std::string body)
    {
        Decision decision;
        decision.status = failure ? HttpStatusOf(*failure) : 200;
        decision.cause = failure ? failure->cause : std::string();
        Answer(decision, std::move(body), true);
    }

    // The keypad page, which may only run as itself: its own script, style and socket, nothing
    // framing it from elsewhere, checked again on every load (an upgraded serve shows at once).
    void AnswerPage()
    {
        std::string host(m_reader.Request().get()[http::field::host]);
        while (!host.empty() && (host.back() == ' ' || host.back() == '\t')) host.pop_back();
        host.erase(0, host.find_first_not_of(" \t"));
        Decision page;
        page.status = 200;
        Write(page, KeypadPageHtml(), true, [&host](http::response<http::string_body>& response) {
            response.set(http::field::content_type, "text/html; charset=utf-8");
            response.set(http::field::cache_control, "no-cache");
            response.set("Content-Security-Policy", KeypadPagePolicy(host));
            response.set("X-Content-Type-Options", "nosniff");
            response.set("X-Frame-Options", "SAMEORIGIN");
            response.set("Referrer-Policy", "no-referrer");
        });
    }

    // Writes the answer; then reads the next request, when both sides keep the connection.
    void Answer(const Decision& decision, std::string body, bool mayKeep)
    {
        Write(decision, std::move(body), mayKeep, [](http::response<http::string_body>& response) {
            response.set(http::field::content_type, "application/json; charset=utf-8");
            response.set(http::field::cache_control, "no-store");
            response.set("X-Content-Type-Options", "nosniff");
        });
    }

    template <typename Headers>
    void Write(const Decision& decision, std::string body, bool mayKeep, Headers headers)
    {
        const int status = decision.status ? decision.status : 200;
        const HttpReader::Parser& request = m_reader.Request();
        const unsigned version = request.is_header_done() ? request.get().version() : 11;
        auto response =
            std::make_shared<http::response<http::string_body>>(static_cast<http::status>(status), version);
        headers(*response);
        if (status == 401) response->set(http::field::www_authenticate, "Bearer");
        if (status == 405) response->set(http::field::allow, decision.allow);
        if (decision.cause == "busy") response->set(http::field::retry_after, "1");
        response->body() = std::move(body);
        response->keep_alive(mayKeep && request.is_header_done() && request.get().keep_alive() &&
                             !m_context->stopped);
        response->prepare_payload();
        LogRequest(*m_context, m_peer.client, m_method, m_target, status, m_started, decision.rule);
        m_stream.expires_after(m_context->limits.idle);
        http::async_write(m_stream, *response,
                          [self = shared_from_this(), response](beast::error_code error, std::size_t) {
                              if (error || !response->keep_alive()) return self->Close();
                              self->ReadNext();
                          });
    }

    std::shared_ptr<ServeContext> m_context;
    Peer m_peer;
    boost::asio::steady_timer m_deadline;
    beast::tcp_stream m_stream;
    HttpReader m_reader;
    std::uint64_t m_phase = 0;
    bool m_served = false;   // a request came whole: the idle limit applies from now on
    bool m_writing = false;  // "100 Continue" is being written
    // A macro tied to this connection runs (m_watching); a read listens for the client going
    // (m_watchRead), and the next request's read waits for it (m_readAfterWatch).
    bool m_watching = false;
    bool m_watchRead = false;
    bool m_readAfterWatch = false;
    std::chrono::steady_clock::time_point m_started;
    std::string m_method;
    std::string m_target;
    std::uint64_t m_id = 0;
};

}  // namespace

void LogRequest(const ServeContext& context, const std::string& client, std::string_view method,
                std::string_view target, int status, std::chrono::steady_clock::time_point started,
                std::string_view rule)
{
    if (context.quiet) return;
    const double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    // The path only, at most 120 bytes, with nothing that could forge a line.
    std::string path(target.substr(0, std::min(target.find('?'), std::size_t{120})));
    for (char& c : path) {
        if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    }
    std::string verb(method.substr(0, 16));
    for (char& c : verb) {
        if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    }
    if (verb.empty()) verb = "-";
    if (path.empty()) path = "-";
    const std::string note = rule.empty() ? std::string() : " (" + std::string(rule.substr(0, 120)) + ")";
    char line[512];
    const int length =
        std::snprintf(line, sizeof line, "%s %s %s %s %d %.2fms%s\n", LogStamp().c_str(), client.c_str(),
                      verb.c_str(), path.c_str(), status, milliseconds, note.c_str());
    if (length > 0) std::fwrite(line, 1, std::min(static_cast<std::size_t>(length), sizeof line - 1), stderr);
}

HttpServer::HttpServer(boost::asio::io_context& loop, BridgeCore& core, ListenPolicy policy,
                       HttpLimits limits, bool quiet, MacroBook macros)
    : m_loop(loop),
      m_acceptor(loop),
      m_retry(loop),
      m_context(std::make_shared<ServeContext>(core, std::move(policy), limits, quiet, std::move(macros)))
{
    // Every event is made into text once, for all the sockets that hear it.
    m_subscription = core.Subscribe([context = m_context](const BridgeEvent& event) {
        if (context->listeners.empty()) return;
        auto text = std::make_shared<const std::string>(Compact(EventJson(event)).toStdString());
        const auto listeners = context->listeners;
        for (const auto& [id, weak] : listeners) {
            if (const auto socket = weak.lock()) socket->Send(text);
        }
    });
}

HttpServer::~HttpServer()
{
    Stop();
}

bool HttpServer::Listen(const tcp::endpoint& endpoint, std::string& error)
{
    beast::error_code code;
    m_acceptor.open(endpoint.protocol(), code);
    if (!code && ReuseListenAddress()) m_acceptor.set_option(tcp::acceptor::reuse_address(true), code);
    if (!code && endpoint.address().is_v6()) m_acceptor.set_option(boost::asio::ip::v6_only(true), code);
    if (!code) m_acceptor.bind(endpoint, code);
    if (!code) m_acceptor.listen(boost::asio::socket_base::max_listen_connections, code);
    if (code) {
        error = code.message();
        return false;
    }
    m_context->policy.port = LocalEndpoint().port();
    Accept();
    return true;
}

tcp::endpoint HttpServer::LocalEndpoint() const
{
    beast::error_code ignored;
    return m_acceptor.local_endpoint(ignored);
}

void HttpServer::Accept()
{
    m_acceptor.async_accept(m_loop, [this, context = m_context](beast::error_code error, tcp::socket socket) {
        if (context->stopped || error == boost::asio::error::operation_aborted) return;
        if (error) {
            // Out of descriptors, say: try again shortly rather than spin.
            m_retry.expires_after(std::chrono::milliseconds(100));
            return m_retry.async_wait([this, context](beast::error_code waited) {
                if (!waited && !context->stopped) Accept();
            });
        }
        {
            socket.set_option(tcp::no_delay(true), error);
            auto connection = std::make_shared<Connection>(context, std::move(socket));
            if (std::string over = context->OverLimit(connection->Address()); !over.empty()) {
                connection->Refuse(std::move(over));
            } else {
                connection->Start();
            }
        }
        Accept();
    });
}

void HttpServer::Stop()
{
    if (m_context->stopped) return;
    m_context->stopped = true;
    beast::error_code ignored;
    m_acceptor.close(ignored);
    m_retry.cancel();
    const auto open = m_context->open;
    for (const auto& [id, entry] : open) {
        if (const auto connection = entry.connection.lock()) connection->Close();
    }
}

}  // namespace velmora::bridge

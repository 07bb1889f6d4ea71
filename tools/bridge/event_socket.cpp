#include "tools/bridge/event_socket.h"

#include <QJsonObject>
#include <QJsonValue>
#include <boost/asio/buffer.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/websocket.hpp>

#include "tools/bridge/bridge_json.h"

namespace velmora::bridge {

namespace beast = boost::beast;
namespace websocket = boost::beast::websocket;

EventSocket::EventSocket(std::shared_ptr<ServeContext> context, beast::tcp_stream stream, std::string rest,
                         std::string client, std::string address)
    : m_context(std::move(context)),
      m_socket(std::move(stream), std::move(rest)),
      m_client(std::move(client)),
      m_address(std::move(address))
{
}

EventSocket::~EventSocket()
{
    if (m_id) m_context->Closed(m_id);
}

void EventSocket::Start(beast::http::request<beast::http::string_body> request, std::string protocol)
{
    m_request = std::move(request);
    m_id = m_context->Open(weak_from_this(), m_address);
    beast::get_lowest_layer(m_socket).expires_never();
    websocket::stream_base::timeout timeout{};
    timeout.handshake_timeout = m_context->limits.idle;
    timeout.idle_timeout = 2 * m_context->limits.idle;  // a ping at half of it; no answer closes
    timeout.keep_alive_pings = true;
    m_socket.set_option(timeout);
    m_socket.read_message_max(m_context->limits.socketMessageBytes);
    if (!protocol.empty()) {
        m_socket.set_option(websocket::stream_base::decorator([protocol](websocket::response_type& response) {
            response.set(beast::http::field::sec_websocket_protocol, protocol);
        }));
    }
    m_socket.async_accept(m_request, [self = shared_from_this()](beast::error_code error) {
        if (error) return self->Finish();
        BridgeCore& core = self->m_context->core;
        self->m_owner = core.NewOwner();
        self->m_client = "socket " + self->m_client;
        self->m_context->listeners.emplace(self->m_id, self);
        std::vector<HeldBy> held;
        for (const DeviceInfo& device : core.Devices()) {
            for (HeldBy& hold : core.HoldsOn(device.id)) held.push_back(std::move(hold));
        }
        self->Send(std::make_shared<const std::string>(
            Compact(HelloJson(self->m_client, core.Devices(), core.ServedId(), held, core.HoldLimit(),
                              self->m_context->MacroNames()))
                .toStdString()));
        self->Read();
    });
}

void EventSocket::Read()
{
    m_socket.async_read(m_buffer, [self = shared_from_this()](beast::error_code error, std::size_t) {
        if (error) return self->Finish();
        self->OnMessage();
        self->Read();
    });
}

void EventSocket::OnMessage()
{
    const std::string text = beast::buffers_to_string(m_buffer.data());
    m_buffer.consume(m_buffer.size());
    const Decision decision = DecideSocketMessage(text);
    if (decision.route == Route::Renew) {
        // Renewals come four times a second: answered only when they fail or carry an id.
        if (m_context->core.RenewLease(m_owner, decision.keyIndex)) {
            if (!decision.id.isUndefined()) Reply(RenewAnswer(decision.keyIndex, std::nullopt), decision.id);
            return;
        }
        return Reply(RenewAnswer(decision.keyIndex,
                                 BridgeFailure{FailureKind::BadRequest, "no-lease",
                                               "this socket holds no lease on that key", std::nullopt}),
                     decision.id);
    }
    if (decision.route == Route::CancelMacro) {
        QJsonObject answer;
        answer.insert("ok", true);
        answer.insert("cancelled", static_cast<int>(m_context->core.CancelMacros(decision.device, m_client)));
        return Reply(answer, decision.id);
    }
    if (decision.route == Route::Nudge || decision.route == Route::RunMacro) {
        Decision refused;
        std::optional<Macro> macro =
            MacroOf(decision, m_context->macros, m_context->core.HoldLimit(), refused);
        if (!macro) {
            return Reply(
                FailureAnswer({FailureKind::BadRequest, refused.cause, refused.message, std::nullopt}),
                decision.id);
        }
        MacroRequest request{m_owner, m_client, decision.device, std::move(*macro), decision.cancelOnClose};
        return m_context->core.RunMacro(
            std::move(request), [self = shared_from_this(), id = decision.id](const MacroOutcome& outcome) {
                self->Reply(MacroAnswer(outcome), id);
            });
    }
    if (decision.route != Route::Key) {
        return Reply(FailureAnswer({FailureKind::BadRequest, decision.cause, decision.message, std::nullopt}),
                     decision.id);
    }
    KeyRequest request;
    request.owner = m_owner;
    request.client = m_client;
    request.device = decision.device;
    request.keyIndex = decision.keyIndex;
    request.action = decision.action;
    request.lease = decision.lease;
    m_context->core.Key(request, [self = shared_from_this(), id = decision.id](const KeyOutcome& outcome) {
        self->Reply(KeyAnswer(outcome), id);
    });
}

void EventSocket::Reply(QJsonObject answer, const QJsonValue& id)
{
    answer.insert("event", "reply");
    if (!id.isUndefined()) answer.insert("id", id);
    Send(std::make_shared<const std::string>(Compact(answer).toStdString()));
}

void EventSocket::Send(std::shared_ptr<const std::string> text)
{
    if (m_finished) return;
    if (m_outgoing.size() >= m_context->limits.socketBacklog) return Close();
    m_outgoing.push_back(std::move(text));
    if (!m_writing) Write();
}

void EventSocket::Write()
{
    m_writing = true;
    m_socket.text(true);
    m_socket.async_write(boost::asio::buffer(*m_outgoing.front()),
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->m_writing = false;
                             if (error) return self->Finish();
                             self->m_outgoing.pop_front();
                             if (!self->m_outgoing.empty() && !self->m_finished) self->Write();
                         });
}

void EventSocket::Close()
{
    beast::error_code ignored;
    beast::get_lowest_layer(m_socket).socket().shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
    beast::get_lowest_layer(m_socket).close();
}

// The socket is done: it hears no more, and what it holds is released.
void EventSocket::Finish()
{
    if (m_finished) return;
    m_finished = true;
    m_context->listeners.erase(m_id);
    if (m_owner != HttpOwner) m_context->core.OwnerGone(m_owner);
    Close();
}

}  // namespace velmora::bridge

// A WebSocket on /v1/events: it hears every event of the bridge and sends key actions of its own;
// what it pressed is released when it closes.
#pragma once

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <deque>
#include <memory>
#include <string>

#include "tools/bridge/prefixed_stream.h"
#include "tools/bridge/serve_context.h"

class QJsonObject;
class QJsonValue;

namespace velmora::bridge {

class EventSocket : public Closable, public std::enable_shared_from_this<EventSocket> {
public:
    // rest: what the connection read past the upgrade request, the first frames.
    EventSocket(std::shared_ptr<ServeContext> context, boost::beast::tcp_stream stream, std::string rest,
                std::string client, std::string address);
    ~EventSocket() override;

    // Completes the upgrade that request asked for (answering with protocol, when not empty), says
    // hello, then hears and sends.
    void Start(boost::beast::http::request<boost::beast::http::string_body> request, std::string protocol);
    // Queues one text message; a socket that falls too far behind is dropped.
    void Send(std::shared_ptr<const std::string> text);
    void Close() override;

private:
    void Read();
    void OnMessage();
    void Reply(QJsonObject answer, const QJsonValue& id);
    void Write();
    void Finish();

    std::shared_ptr<ServeContext> m_context;
    boost::beast::websocket::stream<PrefixedStream> m_socket;
    boost::beast::flat_buffer m_buffer;
    std::string m_client;
    std::string m_address;
    boost::beast::http::request<boost::beast::http::string_body> m_request;
    std::deque<std::shared_ptr<const std::string>> m_outgoing;
    std::uint64_t m_id = 0;
    Owner m_owner = HttpOwner;
    bool m_writing = false;
    bool m_finished = false;
};

}  // namespace velmora::bridge

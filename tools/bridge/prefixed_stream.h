// A TCP stream whose first reads return bytes already read from it: what an HTTP connection read
// past a WebSocket's upgrade request, the socket's first frames.
#pragma once

#include <boost/asio/async_result.hpp>
#include <boost/asio/buffer.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/bind_handler.hpp>
#include <boost/beast/core/role.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket/teardown.hpp>
#include <string>
#include <utility>

namespace velmora::bridge {

class PrefixedStream {
public:
    using executor_type = boost::beast::tcp_stream::executor_type;

    PrefixedStream(boost::beast::tcp_stream stream, std::string prefix)
        : m_stream(std::move(stream)), m_prefix(std::move(prefix))
    {
    }

    executor_type get_executor() noexcept { return m_stream.get_executor(); }
    boost::beast::tcp_stream& next_layer() noexcept { return m_stream; }
    const boost::beast::tcp_stream& next_layer() const noexcept { return m_stream; }

    template <class MutableBuffers, class Handler>
    auto async_read_some(const MutableBuffers& buffers, Handler&& handler)
    {
        return boost::asio::async_initiate<Handler, void(boost::beast::error_code, std::size_t)>(
            [this](auto&& completion, const MutableBuffers& into) {
                if (m_offset == m_prefix.size()) {
                    m_stream.async_read_some(into, std::forward<decltype(completion)>(completion));
                    return;
                }
                const std::size_t copied =
                    boost::asio::buffer_copy(into, boost::asio::buffer(m_prefix) + m_offset);
                m_offset += copied;
                if (m_offset == m_prefix.size()) {
                    m_prefix = std::string();
                    m_offset = 0;
                }
                boost::asio::post(m_stream.get_executor(), boost::beast::bind_front_handler(
                                                               std::forward<decltype(completion)>(completion),
                                                               boost::beast::error_code(), copied));
            },
            handler, buffers);
    }

    template <class ConstBuffers, class Handler>
    auto async_write_some(const ConstBuffers& buffers, Handler&& handler)
    {
        return m_stream.async_write_some(buffers, std::forward<Handler>(handler));
    }

private:
    boost::beast::tcp_stream m_stream;
    std::string m_prefix;
    std::size_t m_offset = 0;
};

// A WebSocket's closing handshake over it ends on the TCP stream beneath.
inline void teardown(boost::beast::role_type role, PrefixedStream& stream, boost::beast::error_code& error)
{
    using boost::beast::websocket::teardown;
    teardown(role, stream.next_layer(), error);
}

template <class TeardownHandler>
void async_teardown(boost::beast::role_type role, PrefixedStream& stream, TeardownHandler&& handler)
{
    using boost::beast::websocket::async_teardown;
    async_teardown(role, stream.next_layer(), std::forward<TeardownHandler>(handler));
}

}  // namespace velmora::bridge

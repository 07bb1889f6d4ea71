#include "tools/bridge/http_reader.h"

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>

namespace velmora::bridge {

namespace beast = boost::beast;
namespace http = boost::beast::http;

HttpReader::HttpReader(std::size_t headerBytes, std::size_t bodyBytes)
    : m_headerBytes(headerBytes), m_bodyBytes(bodyBytes), m_buffer(Bound())
{
    Next();
}

void HttpReader::Next()
{
    m_parser.emplace();
    m_parser->header_limit(static_cast<std::uint32_t>(m_headerBytes));
    m_parser->body_limit(m_bodyBytes);
    m_parser->eager(true);
    m_taken = 0;
    m_state = State::NeedMore;
    m_refusal = Decision();
    m_continueAsked = false;
}

boost::asio::mutable_buffer HttpReader::Space()
{
    const std::size_t used = m_taken + m_buffer.size();
    return m_buffer.prepare(used < Bound() ? Bound() - used : 0);
}

HttpReader::State HttpReader::Commit(std::size_t count)
{
    m_buffer.commit(count);
    return Parse();
}

HttpReader::State HttpReader::Parse()
{
    if (m_state != State::NeedMore) return m_state;
    while (m_buffer.size() > 0) {
        beast::error_code error;
        const std::size_t used = m_parser->put(m_buffer.data(), error);
        m_buffer.consume(used);
        m_taken += used;
        if (m_parser->is_done()) return m_state = State::Done;
        if (error == http::error::need_more) break;
        if (error == http::error::header_limit) {
            return Refuse(431, "header-too-large",
                          "the request's header is larger than " + std::to_string(m_headerBytes) + " bytes");
        }
        if (error == http::error::body_limit) {
            return Refuse(413, "body-too-large",
                          "the request's body is larger than " + std::to_string(m_bodyBytes) + " bytes");
        }
        if (error)
            return Refuse(400, "bad-request", "the request is not valid HTTP/1.1 (" + error.message() + ")");
        if (used == 0) break;
    }
    // The request cannot end within the bound: a header line, a chunk-size line or trailers that go on.
    if (m_taken + m_buffer.size() >= Bound()) {
        if (!m_parser->is_header_done()) {
            return Refuse(431, "header-too-large",
                          "the request's header is larger than " + std::to_string(m_headerBytes) + " bytes");
        }
        return Refuse(413, "body-too-large",
                      "the request's body is larger than " + std::to_string(m_bodyBytes) +
                          " bytes, or its chunked framing larger than " + std::to_string(kFramingBytes));
    }
    return m_state;
}

bool HttpReader::TakeContinue()
{
    if (m_continueAsked || m_state != State::NeedMore || !m_parser->is_header_done()) return false;
    const auto expect = m_parser->get().find(http::field::expect);
    if (expect == m_parser->get().end() || !beast::iequals(expect->value(), "100-continue")) return false;
    m_continueAsked = true;
    return true;
}

std::string HttpReader::TakeRest()
{
    const auto data = m_buffer.data();
    std::string rest(static_cast<const char*>(data.data()), data.size());
    m_buffer.consume(data.size());
    return rest;
}

HttpReader::State HttpReader::Refuse(int status, std::string cause, std::string message)
{
    m_refusal.status = status;
    m_refusal.cause = std::move(cause);
    m_refusal.message = std::move(message);
    return m_state = State::Refused;
}

}  // namespace velmora::bridge

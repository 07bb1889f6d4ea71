// How an HTTP connection of the bridge reads its requests, without the socket: a read buffer that
// holds at most one request (its header and body limits plus a little chunked framing) and the
// bytes that came after it, and the parser of the request under way. The server reads into Space()
// and hands the count to Commit; a fuzz target does the same with pieces of its input.
#pragma once

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <cstddef>
#include <optional>
#include <string>

#include "tools/bridge/http_route.h"

namespace velmora::bridge {

class HttpReader {
public:
    using Parser = boost::beast::http::request_parser<boost::beast::http::string_body>;
    enum class State { NeedMore, Done, Refused };

    // What a chunked body may add to the body limit: chunk-size lines, extensions, trailers.
    static constexpr std::size_t kFramingBytes = 1024;

    HttpReader(std::size_t headerBytes, std::size_t bodyBytes);

    // The most one request may take of the buffer, framing and all.
    std::size_t Bound() const { return m_headerBytes + m_bodyBytes + kFramingBytes; }

    // Starts the next request; the bytes read past the last one are its beginning.
    void Next();
    // Where the next read goes: never more than keeps this request within Bound(), never empty
    // while it needs more.
    boost::asio::mutable_buffer Space();
    // count bytes were read into Space(): parses what the buffer holds (once Done, keeps them for
    // the next request).
    State Commit(std::size_t count);
    // Parses what the buffer holds already (the bytes read past the last request).
    State Parse();

    State Current() const { return m_state; }
    // Whether any byte of this request came.
    bool Begun() const { return m_parser->got_some() || m_buffer.size() > 0; }
    const Parser& Request() const { return *m_parser; }
    Parser& Request() { return *m_parser; }
    // Refused: the status (400, 413, 431), cause and message to answer with.
    const Decision& Refusal() const { return m_refusal; }
    // True once per request, when its header asked for "100 Continue" and its body is still to come.
    bool TakeContinue();
    // Done: the bytes read past the request, taken out of the buffer (a WebSocket's first frames).
    std::string TakeRest();
    // The bytes buffered and not yet parsed; with this request's parsed ones never above Bound().
    std::size_t Buffered() const { return m_buffer.size(); }
    std::size_t Taken() const { return m_taken; }

private:
    State Refuse(int status, std::string cause, std::string message);

    const std::size_t m_headerBytes;
    const std::size_t m_bodyBytes;
    boost::beast::flat_buffer m_buffer;
    std::optional<Parser> m_parser;
    std::size_t m_taken = 0;  // bytes of this request the parser has taken from the buffer
    State m_state = State::NeedMore;
    Decision m_refusal;
    bool m_continueAsked = false;
};

}  // namespace velmora::bridge

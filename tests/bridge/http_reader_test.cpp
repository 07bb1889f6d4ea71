// How a connection of the bridge reads requests: in pieces of any size, one after another, and
// never more for one request than its limits and a little framing.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/bridge/http_reader.h"

namespace velmora::bridge {
namespace {

// Feeds bytes in pieces of at most piece bytes until the request is done or refused; returns how
// many were taken.
std::size_t Feed(HttpReader& reader, const std::string& bytes, std::size_t piece)
{
    std::size_t at = 0;
    while (reader.Current() == HttpReader::State::NeedMore && at < bytes.size()) {
        const boost::asio::mutable_buffer space = reader.Space();
        const std::size_t count = std::min({piece, space.size(), bytes.size() - at});
        std::memcpy(space.data(), bytes.data() + at, count);
        at += count;
        reader.Commit(count);
    }
    return at;
}

TEST(HttpReader, ReadsChunkedRequestsByteByByteAndKeepsWhatFollows)
{
    const std::string chunked =
        "POST /v1/keys/menu/click HTTP/1.1\r\nHost: localhost\r\nTransfer-Encoding: chunked\r\n\r\n"
        "1;x=y\r\n{\r\n1\r\n}\r\n0\r\nX-T: 1\r\n\r\n";
    const std::string next = "GET /v1/keys HTTP/1.1\r\nHost: localhost\r\n\r\n";
    HttpReader reader(8192, 4096);
    EXPECT_EQ(Feed(reader, chunked + next, 1), chunked.size());
    ASSERT_EQ(reader.Current(), HttpReader::State::Done);
    EXPECT_EQ(reader.Request().get().body(), "{}");

    // A pipelined request in the same read as the end of the one before.
    reader.Next();
    Feed(reader, "GET /v1/devices HTTP/1.1\r\nHost: localhost\r\n\r\n" + next + "\x81", 4096);
    ASSERT_EQ(reader.Current(), HttpReader::State::Done);
    reader.Next();
    ASSERT_EQ(reader.Parse(), HttpReader::State::Done);
    EXPECT_EQ(reader.Request().get().target(), "/v1/keys");
    EXPECT_EQ(reader.TakeRest(), "\x81");  // a WebSocket's first frame, say
}

TEST(HttpReader, ARequestThatNeverEndsIsRefusedAtTheBound)
{
    const std::string header =
        "POST /v1/keys/menu/click HTTP/1.1\r\nHost: localhost\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (const std::string& endless :
         {header + "2" + std::string(65536, ';'), header + std::string(65536, '0'),
          header + "0\r\n" + std::string(65536, 'X')}) {
        HttpReader reader(8192, 4096);
        EXPECT_LE(Feed(reader, endless, 1000), reader.Bound());
        EXPECT_EQ(reader.Current(), HttpReader::State::Refused);
        EXPECT_EQ(reader.Refusal().status, 413);
    }
    HttpReader reader(8192, 4096);
    Feed(reader, "GET / HTTP/1.1\r\nX: " + std::string(65536, 'a'), 1000);
    EXPECT_EQ(reader.Refusal().status, 431);
}

}  // namespace
}  // namespace velmora::bridge

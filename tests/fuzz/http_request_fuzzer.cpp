// What velmoractl serve decides from any bytes a client sends: Beast parses them with the server's
// limits, then the decision is checked against the rules it must keep. A key action is decided only
// for a POST with a JSON body, one allowed Host, no foreign Origin and the right token; every
// refusal carries a status the README lists. The body also goes through the event socket's decoder.
#include <QJsonDocument>
#include <boost/beast/http/parser.hpp>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>

#include "keys/key_table.h"
#include "tools/bridge/http_view.h"

using namespace velmora::bridge;

namespace {

#define FUZZ_CHECK(condition)               \
    do {                                    \
        if (!(condition)) __builtin_trap(); \
    } while (0)

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

void Check(const RequestView& request, const ListenPolicy& policy)
{
    const Decision decision = DecideRequest(request, policy);
    static const std::set<int> kRefusals{400, 401, 403, 404, 405, 415, 426};
    if (decision.route == Route::Refused) {
        FUZZ_CHECK(kRefusals.count(decision.status) == 1 && !decision.cause.empty());
        return;
    }
    FUZZ_CHECK(decision.status == 0);
    FUZZ_CHECK(request.hosts.size() == 1 && HostAllowed(Trim(request.hosts[0]), policy.address));
    FUZZ_CHECK(request.method != "OPTIONS");
    if (request.origin) FUZZ_CHECK(Lower(*request.origin).find("://") != std::string::npos);
    if (policy.token) {
        const std::string given = Lower(Trim(request.authorization.value_or("")));
        FUZZ_CHECK(given.rfind("bearer ", 0) == 0 &&
                   Trim(std::string_view(given).substr(7)) == Lower(*policy.token));
    }
    if (decision.route != Route::Key) {
        FUZZ_CHECK(request.method == "GET");
        return;
    }
    FUZZ_CHECK(request.method == "POST");
    FUZZ_CHECK(decision.keyIndex >= 0 && decision.keyIndex < velmora::KeyCount);
    FUZZ_CHECK(request.contentType &&
               Lower(*request.contentType).find("application/json") != std::string::npos);
    FUZZ_CHECK(QJsonDocument::fromJson(QByteArray(request.body.data(), static_cast<int>(request.body.size())))
                   .isObject());
    if (decision.device) FUZZ_CHECK(!decision.device->empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    namespace http = boost::beast::http;
    http::request_parser<http::string_body> parser;
    parser.header_limit(8192);
    parser.body_limit(4096);
    parser.eager(true);
    boost::beast::error_code error;
    parser.put(boost::asio::buffer(data, size), error);
    if (!error && !parser.is_done()) parser.put_eof(error);
    if (!error && parser.is_done()) {
        const auto& request = parser.get();
        const RequestView view = ViewOf(request);
        Check(view, ListenPolicy{"127.0.0.1", std::string("S3cret")});
        Check(view, ListenPolicy{"::", std::nullopt});
        const Decision message = DecideSocketMessage(view.body);
        FUZZ_CHECK(message.route == Route::Refused
                       ? message.status != 0
                       : message.keyIndex >= 0 && message.keyIndex < velmora::KeyCount);
    }
    return 0;
}

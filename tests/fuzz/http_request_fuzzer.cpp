// What velmoractl serve decides from any bytes a client sends, read as the server reads them: in
// pieces, through HttpReader with its buffer bound, requests one after another on one connection.
// The input's first two bytes set the header and body limits (32 to 8192, 16 to 4096 bytes; 255 and
// 255 are the server's own), the next four the sizes of the pieces read (1 to 256 bytes, in turn);
// the rest is what the client sends. Checked: the buffer never holds more than one request's bound
// allows, a request that ends is within its limits, every refusal is one the README lists; a key
// action is decided only for a POST with a JSON body, one allowed Host, no Origin but serve's own,
// no other site's Sec-Fetch-Site and the right token (in the header, or on an upgrade as a
// subprotocol). The body's lines also go, as event-socket messages from two sockets with time
// passing between them, through the socket's decoder and the leases of the holds they make: a lease
// is only ever its holder's, renewed only by it, and ends on time. A nudge or a macro, asked for
// over HTTP or the socket, runs only within the hold limit or as one of the macros file.
#include <QJsonDocument>
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string_view>

#include "keys/held_keys.h"
#include "keys/key_table.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/bridge/http_reader.h"
#include "tools/bridge/http_view.h"
#include "tools/bridge/lease_table.h"
#include "tools/macros/macro_file.h"

using namespace velmora::bridge;

namespace {

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

// A nudge within the hold limit, or a macro of the file, is the macro run; anything else is refused.
void CheckMacro(const Decision& decision)
{
    static const velmora::MacroBook book{{velmora::Macro{"wide", 1, {}}}};
    constexpr std::chrono::milliseconds holdLimit(10000);
    Decision refused;
    const std::optional<velmora::Macro> macro = MacroOf(decision, book, holdLimit, refused);
    if (decision.route == Route::Nudge) {
        FUZZ_CHECK(decision.ms >= 1 && decision.ms <= MaxNudgeMs);
        FUZZ_CHECK(macro.has_value() == (decision.ms <= holdLimit.count()));
        if (macro)
            FUZZ_CHECK(macro->steps.size() == 1 && macro->steps[0].key == decision.keyIndex &&
                       macro->steps[0].ms == decision.ms);
    } else if (decision.route == Route::RunMacro) {
        FUZZ_CHECK(velmoractl::IsMacroName(decision.macro));
        FUZZ_CHECK(macro.has_value() == (book.Find(decision.macro) != nullptr));
    }
    if (!macro) FUZZ_CHECK(refused.status == 400 || refused.status == 404);
}

void Check(const RequestView& request, const ListenPolicy& policy)
{
    const Decision decision = DecideRequest(request, policy);
    static const std::set<int> kRefusals{400, 401, 403, 404, 405, 415, 426};
    if (decision.route == Route::Refused) {
        FUZZ_CHECK(kRefusals.count(decision.status) == 1 && !decision.cause.empty());
        // The log line quotes a refused Origin or Sec-Fetch-Site as sent; the token only where the
        // client put it there itself.
        if (policy.token && decision.rule.find(*policy.token) != std::string::npos) {
            const auto carries = [&](const std::optional<std::string_view>& field) {
                return field && field->find(*policy.token) != std::string_view::npos;
            };
            FUZZ_CHECK(carries(request.origin) || carries(request.fetchSite));
        }
        return;
    }
    FUZZ_CHECK(decision.status == 0);
    FUZZ_CHECK(request.version == 11 && request.repeated.empty());
    FUZZ_CHECK(request.hosts.size() == 1 && HostAllowed(Trim(request.hosts[0]), policy.address));
    FUZZ_CHECK(request.method != "OPTIONS");
    if (request.origin) {
        FUZZ_CHECK(Trim(*request.origin).rfind("http://", 0) == 0 && OriginAllowed(*request.origin, policy));
        FUZZ_CHECK(Trim(*request.origin).find(":" + std::to_string(policy.port)) != std::string::npos ||
                   policy.port == 80);
    }
    if (request.fetchSite) {
        const std::string site = Lower(Trim(*request.fetchSite));
        FUZZ_CHECK(site != "cross-site" && site != "same-site");
    }
    if (decision.route == Route::Page) {
        FUZZ_CHECK(request.method == "GET" && request.target == "/");
        return;
    }
    if (policy.token) {
        const std::string given = Lower(Trim(request.authorization.value_or("")));
        const bool header =
            given.rfind("bearer ", 0) == 0 && Trim(std::string_view(given).substr(7)) == Lower(*policy.token);
        const bool subprotocol = !request.authorization && request.websocketUpgrade && request.protocols &&
                                 decision.route == Route::Events;
        FUZZ_CHECK(header || subprotocol);
    }
    if (decision.route == Route::CancelMacro) {
        FUZZ_CHECK(request.method == "DELETE");
        return;
    }
    if (decision.route != Route::Key && decision.route != Route::Nudge && decision.route != Route::RunMacro) {
        FUZZ_CHECK(request.method == "GET");
        return;
    }
    FUZZ_CHECK(request.method == "POST");
    CheckMacro(decision);
    if (decision.route != Route::RunMacro)
        FUZZ_CHECK(decision.keyIndex >= 0 && decision.keyIndex < velmora::KeyCount);
    FUZZ_CHECK(request.contentType &&
               Lower(*request.contentType).find("application/json") != std::string::npos);
    FUZZ_CHECK(QJsonDocument::fromJson(QByteArray(request.body.data(), static_cast<int>(request.body.size())))
                   .isObject());
    if (decision.device) FUZZ_CHECK(!decision.device->empty());
}

// The body's lines as socket messages, from sockets 1 and 2 in turn, each after a pause its length
// decides, against one camera's keypad.
void CheckLeases(std::string_view body)
{
    using namespace std::chrono_literals;
    LeaseTable leases;
    velmora::HeldKeys held;
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    unsigned line = 0;
    while (!body.empty() && line < 64) {
        const std::size_t end = body.find('\n');
        const std::string_view text = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
        const LeaseTable::Owner owner = 1 + (line++ % 2);
        now += std::chrono::milliseconds(text.size() * 37 % 1500);
        for (const LeaseTable::Lease& lease : leases.TakeExpired(now)) {
            FUZZ_CHECK(lease.deadline <= now && held.HolderOf(lease.keyIndex) == lease.owner);
            held.Sent(2 * lease.keyIndex + 1, lease.owner);
        }
        const Decision decision = DecideSocketMessage(text);
        if (decision.route == Route::Renew) {
            const bool holds = held.HolderOf(decision.keyIndex) == owner;
            const bool renewed = leases.Renew(owner, decision.keyIndex, now);
            FUZZ_CHECK(!renewed || holds);
        } else if (decision.route == Route::Key) {
            std::vector<int> slots;
            if (decision.action != KeyAction::Release)
                slots =
                    velmora::KeypadPressSlots(held, decision.keyIndex, decision.action == KeyAction::Click);
            else if (held.Holds(decision.keyIndex))
                slots.push_back(2 * decision.keyIndex + 1);
            for (const int slot : slots) held.Sent(slot, owner);
            if (decision.action == KeyAction::Press) held.Sent(2 * decision.keyIndex, owner);
            FUZZ_CHECK(held.KeyIndices().size() <= 1);  // one keypad
            if (decision.lease && held.HolderOf(decision.keyIndex) == owner)
                leases.Grant("camera", decision.keyIndex, owner, now);
            leases.Keep("camera", held);
        } else if (decision.route == Route::Nudge) {
            // As a click: what is held is released first, and the nudge ends released.
            for (const int slot : velmora::KeypadPressSlots(held, decision.keyIndex, true))
                held.Sent(slot, owner);
            FUZZ_CHECK(held.KeyIndices().empty());
            leases.Keep("camera", held);
        } else if (decision.route == Route::RunMacro || decision.route == Route::CancelMacro) {
            FUZZ_CHECK(decision.status == 0);  // a macro's steps are the engine's, not this model's
        } else {
            FUZZ_CHECK(decision.status != 0 && !decision.cause.empty());
        }
        if (const auto next = leases.NextDeadline()) FUZZ_CHECK(*next > now && *next <= now + LeaseTime);
    }
}

void CheckRequest(const HttpReader::Parser& parser, std::size_t bodyBytes)
{
    const auto& request = parser.get();
    FUZZ_CHECK(request.body().size() <= bodyBytes);
    const RequestView view = ViewOf(request);
    Check(view, ListenPolicy{"127.0.0.1", std::string("S3cret"), 8719});
    Check(view, ListenPolicy{"::", std::nullopt, 80});
    const Decision message = DecideSocketMessage(view.body);
    if (message.route == Route::RunMacro || message.route == Route::CancelMacro ||
        message.route == Route::Nudge) {
        CheckMacro(message);
    } else {
        FUZZ_CHECK(message.route == Route::Refused
                       ? message.status != 0
                       : message.keyIndex >= 0 && message.keyIndex < velmora::KeyCount);
    }
    CheckLeases(view.body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 6) return 0;
    const std::size_t headerBytes = (std::size_t{data[0]} + 1) * 32;
    const std::size_t bodyBytes = (std::size_t{data[1]} + 1) * 16;
    const std::size_t pieces[4] = {data[2] + 1u, data[3] + 1u, data[4] + 1u, data[5] + 1u};
    std::string_view sent(reinterpret_cast<const char*>(data) + 6, size - 6);

    HttpReader reader(headerBytes, bodyBytes);
    HttpReader::State state = reader.Parse();
    bool continued = false;
    for (std::size_t turn = 0;; ++turn) {
        FUZZ_CHECK(reader.Taken() + reader.Buffered() <= reader.Bound());
        if (state == HttpReader::State::Refused) {
            const Decision& refusal = reader.Refusal();
            FUZZ_CHECK(refusal.status == 400 || refusal.status == 413 || refusal.status == 431);
            FUZZ_CHECK(!refusal.cause.empty() && !refusal.message.empty());
            return 0;
        }
        if (state == HttpReader::State::Done) {
            FUZZ_CHECK(!reader.TakeContinue());
            CheckRequest(reader.Request(), bodyBytes);
            // The next request on the connection starts with what was read past this one.
            reader.Next();
            continued = false;
            state = reader.Parse();
            continue;
        }
        if (reader.TakeContinue()) {
            FUZZ_CHECK(!continued && reader.Request().is_header_done());
            continued = true;
        }
        const boost::asio::mutable_buffer space = reader.Space();
        FUZZ_CHECK(space.size() > 0);
        if (sent.empty()) return 0;
        const std::size_t count = std::min({pieces[turn % 4], space.size(), sent.size()});
        std::memcpy(space.data(), sent.data(), count);
        sent.remove_prefix(count);
        state = reader.Commit(count);
    }
}

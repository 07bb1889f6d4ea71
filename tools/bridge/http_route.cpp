#include "tools/bridge/http_route.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <boost/asio/ip/address.hpp>
#include <cctype>
#include <cstdlib>

#include "tools/commands/key_names.h"
#include "tools/macros/macro_file.h"

namespace velmora::bridge {

namespace {

Decision Refuse(int status, std::string cause, std::string message, std::string allow = {})
{
    Decision decision;
    decision.status = status;
    decision.cause = std::move(cause);
    decision.message = std::move(message);
    decision.allow = std::move(allow);
    return decision;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::optional<boost::asio::ip::address> IpAddress(std::string_view text)
{
    boost::system::error_code error;
    const auto address = boost::asio::ip::make_address(std::string(text), error);
    if (error) return std::nullopt;
    return address;
}

// "%41+b" as "A b"; nullopt for a broken escape or a NUL.
std::optional<std::string> Unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] != '%') {
            out += text[i];
        } else {
            if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                return std::nullopt;
            }
            const char digits[3] = {text[i + 1], text[i + 2], 0};
            const char c = static_cast<char>(std::strtol(digits, nullptr, 16));
            if (c == 0) return std::nullopt;
            out += c;
            i += 2;
        }
    }
    return out;
}

// The device member of a JSON value: a string, or a whole number taken as a list index.
std::optional<std::string> DeviceText(const QJsonValue& value)
{
    if (value.isString()) return value.toString().toStdString();
    if (value.isDouble() && value.toDouble() >= 0 && value.toDouble() < 1e9 &&
        value.toDouble() == static_cast<double>(value.toInt())) {
        return std::to_string(value.toInt());
    }
    return std::nullopt;
}

struct Target {
    std::vector<std::string_view> segments;  // of the path, after the leading "/"
    std::optional<std::string> device;       // ?device=
};

std::optional<Target> SplitTarget(std::string_view target, Decision& refusal)
{
    if (target.empty() || target.front() != '/') {
        refusal = Refuse(400, "bad-request", "the request target must be a path");
        return std::nullopt;
    }
    Target out;
    const std::size_t question = target.find('?');
    std::string_view path =
        target.substr(1, question == std::string_view::npos ? std::string_view::npos : question - 1);
    for (;;) {
        const std::size_t slash = path.find('/');
        out.segments.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    if (question == std::string_view::npos) return out;
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty()) continue;
        const std::size_t equals = pair.find('=');
        const std::string_view name = pair.substr(0, equals);
        const auto value =
            Unescape(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
        if (name != "device" || !value || value->empty() || out.device) {
            refusal = Refuse(400, "bad-request",
                             "the only query parameter is device=N|PATH|ID, once and not empty");
            return std::nullopt;
        }
        out.device = *value;
    }
    return out;
}

// "ms": a whole number of milliseconds, 1 to MaxNudgeMs.
std::optional<int> Milliseconds(const QJsonValue& value)
{
    const double ms = value.toDouble(-1);
    if (!value.isDouble() || ms < 1 || ms > MaxNudgeMs || ms != static_cast<double>(static_cast<int>(ms)))
        return std::nullopt;
    return static_cast<int>(ms);
}

// The body of a key action: a JSON object with at most "device" (and a nudge's "ms").
bool ReadKeyBody(std::string_view body, Decision& decision, bool nudge = false)
{
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(body.data(), static_cast<int>(body.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        decision = Refuse(400, "bad-json", "the body must be a JSON object ({} will do)");
        return false;
    }
    const QJsonObject object = document.object();
    for (auto member = object.begin(); member != object.end(); ++member) {
        if (nudge && member.key() == "ms") {
            const std::optional<int> ms = Milliseconds(member.value());
            if (!ms) {
                decision =
                    Refuse(400, "bad-json", "\"ms\" must be a whole number of milliseconds, 1 or more");
                return false;
            }
            decision.ms = *ms;
            continue;
        }
        if (member.key() != "device") {
            decision = Refuse(400, "bad-json",
                              "unknown member \"" + member.key().toStdString() + "\" (only " +
                                  (nudge ? "\"ms\" and " : "") + "\"device\")");
            return false;
        }
        const std::optional<std::string> device = DeviceText(member.value());
        if (!device || device->empty() || (decision.device && *decision.device != *device)) {
            decision =
                Refuse(400, "bad-json", "\"device\" must be an index, an id or a path, as in ?device=");
            return false;
        }
        decision.device = device;
    }
    if (nudge && decision.ms == 0) {
        decision = Refuse(400, "bad-json", "a nudge needs \"ms\": how long the key stays pressed");
        return false;
    }
    return true;
}

// The token in a Sec-WebSocket-Protocol list ("velmora, velmora-token.7331"), decoded, or nullopt.
std::optional<std::string> ProtocolToken(std::string_view protocols, bool& offersPage)
{
    std::optional<std::string> token;
    while (!protocols.empty()) {
        const std::size_t comma = protocols.find(',');
        const std::string_view item = Trim(protocols.substr(0, comma));
        protocols = comma == std::string_view::npos ? std::string_view() : protocols.substr(comma + 1);
        if (item == PageProtocol) offersPage = true;
        if (item.substr(0, TokenProtocolPrefix.size()) != TokenProtocolPrefix) continue;
        const std::string_view hex = item.substr(TokenProtocolPrefix.size());
        std::string decoded;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            const char digits[3] = {hex[i], hex[i + 1], 0};
            if (!std::isxdigit(static_cast<unsigned char>(hex[i])) ||
                !std::isxdigit(static_cast<unsigned char>(hex[i + 1])))
                return std::string();
            decoded += static_cast<char>(std::strtol(digits, nullptr, 16));
        }
        token = hex.size() % 2 == 0 ? decoded : std::string();
    }
    return token;
}

// A header's text for the log: printable ASCII, at most 60 bytes.
std::string Printable(std::string_view text)
{
    std::string out(text.substr(0, 60));
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    }
    return out;
}

bool IsJsonMediaType(std::string_view contentType)
{
    return velmoractl::SameIgnoringCase(Trim(contentType.substr(0, contentType.find(';'))),
                                        "application/json");
}

}  // namespace

bool OriginAllowed(std::string_view origin, const ListenPolicy& policy)
{
    origin = Trim(origin);
    constexpr std::string_view scheme = "http://";
    if (origin.substr(0, scheme.size()) != scheme) return false;
    const std::string_view host = origin.substr(scheme.size());
    if (!HostAllowed(host, policy.address)) return false;
    // HostAllowed took "name", "name:digits", "[v6]" or "[v6]:digits"; no port is 80.
    const std::size_t close = host.front() == '[' ? host.find(']') : 0;
    const std::size_t colon = host.find(':', close);
    const std::string_view port = colon == std::string_view::npos ? "80" : host.substr(colon + 1);
    return !port.empty() && port.size() <= 5 && port.front() != '0' &&
           std::stoul(std::string(port)) == policy.port;
}

bool SameSecret(std::string_view given, std::string_view expected)
{
    volatile unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const unsigned char g = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        difference = static_cast<unsigned char>(difference | (g ^ static_cast<unsigned char>(expected[i])));
    }
    return difference == 0 && !expected.empty();
}

bool HostAllowed(std::string_view host, std::string_view listenAddress)
{
    // "name", "name:port", "[v6]", "[v6]:port"
    std::string_view name = host;
    std::string_view port;
    if (!name.empty() && name.front() == '[') {
        const std::size_t close = name.find(']');
        if (close == std::string_view::npos) return false;
        port = name.substr(close + 1);
        name = name.substr(1, close - 1);
        if (!port.empty() && port.front() != ':') return false;
        if (!port.empty()) port.remove_prefix(1);
    } else if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) {
        port = name.substr(colon + 1);
        name = name.substr(0, colon);
    }
    for (const char c : port) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    if (name.empty() || port.size() > 5) return false;
    if (velmoractl::SameIgnoringCase(name, "localhost")) return true;
    const auto given = IpAddress(name);
    const auto listening = IpAddress(listenAddress);
    if (!given || !listening) return false;
    // A bracketed name is an IPv6 address, and an IPv6 address is bracketed.
    if (given->is_v6() != (host.front() == '[')) return false;
    return listening->is_unspecified() || *given == *listening;
}

Decision DecideRequest(const RequestView& request, const ListenPolicy& policy)
{
    if (request.version != 11) return Refuse(400, "bad-request", "the request must be HTTP/1.1");
    if (!request.repeated.empty())
        return Refuse(400, "bad-request",
                      "a request carries at most one " + std::string(request.repeated) + " header");
    if (request.hosts.size() != 1)
        return Refuse(400, "bad-request", "a request needs exactly one Host header");
    if (!HostAllowed(Trim(request.hosts.front()), policy.address)) {
        return Refuse(403, "host-refused",
                      "the Host header must name the address served (" + policy.address + ") or localhost");
    }
    const auto refuseOrigin = [](std::string rule) {
        Decision refused =
            Refuse(403, "origin-refused", "requests from web pages of other sites are refused");
        refused.rule = std::move(rule);
        return refused;
    };
    if (request.method == "OPTIONS") return refuseOrigin("a CORS preflight");
    if (request.origin && !OriginAllowed(*request.origin, policy))
        return refuseOrigin("Origin " + Printable(Trim(*request.origin)) + " is not serve's own");
    if (request.fetchSite) {
        const std::string_view site = Trim(*request.fetchSite);
        if (velmoractl::SameIgnoringCase(site, "cross-site") ||
            velmoractl::SameIgnoringCase(site, "same-site"))
            return refuseOrigin("Sec-Fetch-Site: " + Printable(site));
    }

    Decision decision;
    const std::optional<Target> target = SplitTarget(request.target, decision);
    if (!target) return decision;
    const std::vector<std::string_view>& path = target->segments;
    // The keypad page holds no secret: it asks for the token itself (on the socket), from its
    // address's fragment, which no request carries.
    if (path.size() == 1 && path[0].empty() && !target->device) {
        if (request.method != "GET") return Refuse(405, "method-not-allowed", "this path takes GET", "GET");
        decision.route = Route::Page;
        return decision;
    }
    bool offersPage = false;
    const std::optional<std::string> protocolToken =
        request.protocols ? ProtocolToken(*request.protocols, offersPage) : std::nullopt;
    if (policy.token) {
        std::string_view given = Trim(request.authorization.value_or(""));
        const bool bearer = given.size() > 7 && velmoractl::SameIgnoringCase(given.substr(0, 7), "bearer ");
        std::string rule;
        if (request.authorization) {
            if (!bearer || !SameSecret(Trim(given.substr(7)), *policy.token))
                rule = "the Authorization header has no or a wrong token";
        } else if (protocolToken && request.websocketUpgrade) {
            if (!SameSecret(*protocolToken, *policy.token))
                rule = "the token in Sec-WebSocket-Protocol is wrong";
        } else {
            rule = "no token: no Authorization header, no token in Sec-WebSocket-Protocol";
        }
        if (!rule.empty()) {
            decision = Refuse(401, "unauthorised", "this server needs Authorization: Bearer TOKEN");
            decision.rule = std::move(rule);
            return decision;
        }
    }
    const auto route = [&](Route found, std::string_view method) {
        if (request.method != method)
            return Refuse(405, "method-not-allowed", "this path takes " + std::string(method),
                          std::string(method));
        Decision routed;
        routed.route = found;
        routed.device = target->device;
        if (routed.device && found != Route::Key && found != Route::Status && found != Route::Zoom &&
            found != Route::Nudge && found != Route::RunMacro && found != Route::CancelMacro)
            return Refuse(400, "bad-request", "device= applies to keys, macros, status and zoom only");
        return routed;
    };
    if (path.empty() || path[0] != "v1")
        return Refuse(404, "not-found", "no such path; the API is under /v1");
    if (path.size() == 1 || (path.size() == 2 && path[1].empty())) return route(Route::Info, "GET");
    if (path.size() == 2 && path[1] == "devices") return route(Route::Devices, "GET");
    if (path.size() == 2 && path[1] == "status") return route(Route::Status, "GET");
    if (path.size() == 2 && path[1] == "zoom") return route(Route::Zoom, "GET");
    if (path.size() == 2 && path[1] == "keys") return route(Route::Keys, "GET");
    if (path.size() == 2 && path[1] == "events") {
        decision = route(Route::Events, "GET");
        if (decision.route == Route::Events && !request.websocketUpgrade)
            return Refuse(426, "websocket-required", "/v1/events is a WebSocket");
        if (offersPage) decision.protocol = PageProtocol;
        return decision;
    }
    const auto jsonBody = [&request](Decision& routed, bool nudge) {
        if (!request.contentType || !IsJsonMediaType(*request.contentType)) {
            routed = Refuse(415, "json-required",
                            "this action needs a JSON body (Content-Type: application/json)");
            return false;
        }
        return ReadKeyBody(request.body, routed, nudge);
    };
    if (path.size() == 2 && path[1] == "macros") return route(Route::Macros, "GET");
    if (path.size() == 3 && path[1] == "macros" && path[2] == "running")
        return route(Route::CancelMacro, "DELETE");
    if (path.size() == 3 && path[1] == "macros") {
        if (!velmoractl::IsMacroName(path[2]))
            return Refuse(404, "unknown-macro", "no such macro (GET /v1/macros lists them)");
        decision = route(Route::RunMacro, "POST");
        if (decision.route != Route::RunMacro || !jsonBody(decision, false)) return decision;
        decision.macro = std::string(path[2]);
        return decision;
    }
    if (path.size() != 4 || path[1] != "keys")
        return Refuse(404, "not-found",
                      "no such path; keys are POST /v1/keys/NAME/press|release|click|nudge");

    const KeyDefinition* key = velmoractl::FindKeyByName(path[2]);
    if (!key) return Refuse(404, "unknown-key", "unknown key (one of " + velmoractl::KeyNameList() + ")");
    const bool nudge = path[3] == "nudge";
    const std::optional<KeyAction> action = ParseKeyAction(path[3]);
    if (!action && !nudge)
        return Refuse(404, "unknown-action", "unknown key action (press, release, click or nudge)");
    const Route found = nudge ? Route::Nudge : Route::Key;
    decision = route(found, "POST");
    if (decision.route != found || !jsonBody(decision, nudge)) return decision;
    decision.keyIndex = static_cast<int>(key - Keys.data());
    decision.action = action.value_or(KeyAction::Click);
    return decision;
}

namespace {

// {"macro": NAME [, "action": "run"]} or {"macro": "running", "action": "cancel"}.
Decision DecideMacroMessage(const QJsonObject& object, Decision decision)
{
    const QJsonValue name = object.value("macro");
    const QString action = object.value("action").toString(QStringLiteral("run"));
    const QJsonValue tied = object.value("cancelOnClose");
    Decision refused;
    if (object.contains("key") || object.contains("ms") || object.contains("lease"))
        refused =
            Refuse(400, "bad-json",
                   "a macro message has \"macro\", \"action\", \"device\", \"id\" and \"cancelOnClose\"");
    else if (!name.isString() || !velmoractl::IsMacroName(name.toString().toStdString()))
        refused = Refuse(404, "unknown-macro", "\"macro\" names a macro of the macros file");
    else if (!object.value("action").isUndefined() && !object.value("action").isString())
        refused = Refuse(404, "unknown-action", "a macro's action is run or cancel");
    else if (action != "run" && action != "cancel")
        refused = Refuse(404, "unknown-action", "a macro's action is run or cancel");
    else if ((action == "cancel") != (name.toString() == "running"))
        refused = Refuse(400, "bad-json", "cancel takes {\"macro\": \"running\", \"action\": \"cancel\"}");
    else if (!tied.isUndefined() && (!tied.isBool() || action != "run"))
        refused = Refuse(400, "bad-json", "\"cancelOnClose\" is true or false, on a run");
    if (refused.status != 0) {
        refused.id = decision.id;
        return refused;
    }
    decision.route = action == "run" ? Route::RunMacro : Route::CancelMacro;
    decision.macro = name.toString().toStdString();
    decision.cancelOnClose = tied.toBool();
    return decision;
}

}  // namespace

Decision DecideSocketMessage(std::string_view text)
{
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<int>(text.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Refuse(400, "bad-json", "a message is a JSON object: {\"key\": NAME, \"action\": ACTION}");
    const QJsonObject object = document.object();
    Decision decision;
    for (auto member = object.begin(); member != object.end(); ++member) {
        const QString& name = member.key();
        if (name != "key" && name != "action" && name != "device" && name != "id" && name != "lease" &&
            name != "ms" && name != "macro" && name != "cancelOnClose") {
            decision = Refuse(400, "bad-json", "unknown member \"" + name.toStdString() + "\"");
            break;
        }
    }
    decision.id = object.value("id");
    if (decision.status != 0) return decision;
    const QJsonValue device = object.value("device");
    if (!device.isUndefined()) {
        decision.device = DeviceText(device);
        if (!decision.device || decision.device->empty()) {
            Decision refused = Refuse(400, "bad-json", "\"device\" must be an index, an id or a path");
            refused.id = decision.id;
            return refused;
        }
    }
    if (object.contains("macro")) return DecideMacroMessage(object, decision);
    const KeyDefinition* key = velmoractl::FindKeyByName(object.value("key").toString().toStdString());
    const std::string actionName = object.value("action").toString(QStringLiteral("click")).toStdString();
    const bool renew = actionName == "renew";
    const bool nudge = actionName == "nudge";
    const std::optional<KeyAction> action = ParseKeyAction(actionName);
    const QJsonValue lease = object.value("lease");
    const QJsonValue tied = object.value("cancelOnClose");
    const std::optional<int> ms = Milliseconds(object.value("ms"));
    Decision refused;
    if (!key)
        refused = Refuse(404, "unknown-key", "unknown key (one of " + velmoractl::KeyNameList() + ")");
    else if (!action && !renew && !nudge)
        refused = Refuse(404, "unknown-action", "unknown key action (press, release, click, nudge or renew)");
    else if (nudge != object.contains("ms") || (nudge && !ms))
        refused = Refuse(400, "bad-json", "a nudge, and only a nudge, has \"ms\": 1 or more milliseconds");
    else if (!tied.isUndefined() && (!tied.isBool() || !nudge))
        refused = Refuse(400, "bad-json", "\"cancelOnClose\" is true or false, on a nudge");
    else if (!lease.isUndefined() && (!lease.isBool() || action != KeyAction::Press))
        refused = Refuse(400, "bad-json", "\"lease\" is true or false, on a press");
    else if (renew && decision.device)
        refused = Refuse(400, "bad-json", "a renewal names its key, not a device");
    if (refused.status != 0) {
        refused.id = decision.id;
        return refused;
    }
    decision.lease = lease.toBool();
    decision.route = renew ? Route::Renew : nudge ? Route::Nudge : Route::Key;
    decision.ms = ms.value_or(0);
    decision.cancelOnClose = tied.toBool();
    decision.keyIndex = static_cast<int>(key - Keys.data());
    decision.action = action.value_or(KeyAction::Press);
    return decision;
}

std::optional<Macro> MacroOf(const Decision& decision, const MacroBook& book,
                             std::chrono::milliseconds holdLimit, Decision& refused)
{
    if (decision.route == Route::Nudge) {
        if (decision.ms < 1 || decision.ms > holdLimit.count()) {
            refused = Refuse(400, "bad-argument",
                             "a nudge is 1 to " + std::to_string(holdLimit.count()) + " ms (the hold limit)");
            return std::nullopt;
        }
        Macro nudge;
        nudge.steps.push_back(MacroStep{MacroStep::Kind::Nudge, decision.keyIndex, decision.ms, 0});
        return nudge;
    }
    const Macro* macro = decision.route == Route::RunMacro ? book.Find(decision.macro) : nullptr;
    if (!macro) {
        refused = Refuse(
            404, "unknown-macro",
            "no macro " + decision.macro.substr(0, 64) + " in the macros file (GET /v1/macros lists them)");
        return std::nullopt;
    }
    return *macro;
}

int HttpStatusOf(const BridgeFailure& failure)
{
    switch (failure.kind) {
        case FailureKind::BadRequest:
            return 400;
        case FailureKind::NoDevice:
            return 404;
        case FailureKind::DeviceGone:
            return 410;
        case FailureKind::Busy:
        case FailureKind::Stopping:
            return 503;
        case FailureKind::Cancelled:
            return 409;
        case FailureKind::Camera:
            break;
    }
    return 502;
}

}  // namespace velmora::bridge

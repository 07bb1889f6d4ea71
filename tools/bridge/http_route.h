// What the bridge decides from an HTTP request, and from a message on its event socket: plain
// functions over the request's method, target, headers and body, with no socket in sight (Beast
// parses, this routes). Every refusal carries its HTTP status and a cause name.
#pragma once

#include <QJsonValue>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/bridge/bridge_types.h"

namespace velmora::bridge {

// What the server listens on, and the token every request must carry when one is set.
struct ListenPolicy {
    std::string address;  // "127.0.0.1", "::1", "0.0.0.0", "::"
    std::optional<std::string> token;
    unsigned short port = 0;  // the port served: the only one serve's own origin has
};

struct RequestView {
    unsigned version = 11;  // HTTP/1.1
    std::string_view method;
    std::string_view target;
    std::vector<std::string_view> hosts;  // every Host header
    std::optional<std::string_view> authorization;
    std::optional<std::string_view> contentType;
    std::optional<std::string_view> origin;
    std::optional<std::string_view> fetchSite;  // Sec-Fetch-Site
    std::optional<std::string_view> protocols;  // Sec-WebSocket-Protocol
    bool websocketUpgrade = false;
    std::string_view body;
    std::string_view repeated;  // a header allowed once (Origin, Content-Type, Authorization) sent twice
};

enum class Route {
    Refused,
    Page,
    Info,
    Devices,
    Keys,
    Key,
    Status,
    Zoom,
    Events,
    Renew,
    Nudge,        // keyIndex held ms
    Macros,       // the list
    RunMacro,     // macro
    CancelMacro,  // the macros running (on device, when given)
};

// The longest a nudge may ask for before the hold limit is known (serve's longest hold limit).
inline constexpr int MaxNudgeMs = 86400000;

struct Decision {
    Route route = Route::Refused;
    int keyIndex = -1;  // Key
    KeyAction action = KeyAction::Click;
    std::optional<std::string> device;  // Key, Status, Zoom: the device asked for
    // Refused: the answer's status, cause and message; allow lists the methods for a 405.
    int status = 0;
    std::string cause;
    std::string message;
    std::string allow;
    std::string rule;            // Refused: which check refused it, for the log (never a secret)
    QJsonValue id;               // a socket message's "id", answered back
    bool lease = false;          // a socket message's press under a lease
    std::string protocol;        // Events: the WebSocket subprotocol to answer with, if any
    int ms = 0;                  // Nudge: 1 to MaxNudgeMs, the hold limit still to be checked
    std::string macro;           // RunMacro: its name, as given
    bool cancelOnClose = false;  // a socket message's macro or nudge, cancelled when the socket closes
};

// The WebSocket subprotocol the keypad page asks for, and the prefix of the one that carries the
// token (a browser cannot set Authorization on a WebSocket): "velmora-token." then the token's
// bytes in hexadecimal, which any token can be written in.
inline constexpr std::string_view PageProtocol = "velmora";
inline constexpr std::string_view TokenProtocolPrefix = "velmora-token.";

Decision DecideRequest(const RequestView& request, const ListenPolicy& policy);

// A message on the event socket: a key action, {"key": "zoom-in", "action": "press", "device":
// "1", "id": anything, "lease": true} (Route Key), or the renewal of a lease, {"key": "zoom-in",
// "action": "renew"} (Route Renew); a nudge, {"key": "zoom-in", "action": "nudge", "ms": 300}; a
// macro, {"macro": "wide"} (RunMacro), or {"macro": "running", "action": "cancel"} (CancelMacro),
// either with "cancelOnClose": true; else Refused with the HTTP status its answer would have.
Decision DecideSocketMessage(std::string_view text);

// The macro a RunMacro or Nudge decision asks for: the book's, or a nudge of its key (ms within
// holdLimit); nullopt with refused set otherwise (404 unknown-macro, 400 bad-argument).
std::optional<Macro> MacroOf(const Decision& decision, const MacroBook& book,
                             std::chrono::milliseconds holdLimit, Decision& refused);

// Whether an Origin is serve's own: http, the host as HostAllowed takes it, and the port served.
bool OriginAllowed(std::string_view origin, const ListenPolicy& policy);

// Whether a Host header (or an Origin's host) names the listen address or localhost. Listening on
// every address (0.0.0.0, ::), any IP address is the listen address.
bool HostAllowed(std::string_view host, std::string_view listenAddress);

// a == b in a time that does not depend on where they differ.
bool SameSecret(std::string_view given, std::string_view expected);

// The HTTP status for a bridge failure.
int HttpStatusOf(const BridgeFailure& failure);

}  // namespace velmora::bridge

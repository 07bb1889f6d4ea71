// What the bridge decides from an HTTP request, and from a message on its event socket: plain
// functions over the request's method, target, headers and body, with no socket in sight (Beast
// parses, this routes). Every refusal carries its HTTP status and a cause name.
#pragma once

#include <QJsonValue>
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
};

struct RequestView {
    unsigned version = 11;  // HTTP/1.1
    std::string_view method;
    std::string_view target;
    std::vector<std::string_view> hosts;  // every Host header
    std::optional<std::string_view> authorization;
    std::optional<std::string_view> contentType;
    std::optional<std::string_view> origin;
    bool websocketUpgrade = false;
    std::string_view body;
    std::string_view repeated;  // a header allowed once (Origin, Content-Type, Authorization) sent twice
};

enum class Route { Refused, Info, Devices, Keys, Key, Status, Zoom, Events };

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
    QJsonValue id;  // a socket message's "id", answered back
};

Decision DecideRequest(const RequestView& request, const ListenPolicy& policy);

// A key action sent on the event socket: {"key": "zoom-in", "action": "press", "device": "1",
// "id": anything}. Route Key, or Refused with the HTTP status its answer would have.
Decision DecideSocketMessage(std::string_view text);

// Whether a Host header (or an Origin's host) names the listen address or localhost. Listening on
// every address (0.0.0.0, ::), any IP address is the listen address.
bool HostAllowed(std::string_view host, std::string_view listenAddress);

// a == b in a time that does not depend on where they differ.
bool SameSecret(std::string_view given, std::string_view expected);

// The HTTP status for a bridge failure.
int HttpStatusOf(const BridgeFailure& failure);

}  // namespace velmora::bridge

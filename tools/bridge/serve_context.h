// What the bridge's HTTP connections and event sockets share with their server: the core, the
// limits, the open connections (for the connection limit and for stopping) and the sockets that
// hear the events. Held by shared pointer, so a connection outliving the server finds it still.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "tools/bridge/bridge_core.h"
#include "tools/bridge/bridge_json.h"
#include "tools/bridge/http_route.h"

namespace velmora::bridge {

struct HttpLimits {
    std::chrono::milliseconds idle{30000};  // to send one whole request, and between requests
    std::size_t connections = 64;           // HTTP connections and event sockets together
    std::size_t headerBytes = 8192;
    std::size_t bodyBytes = 4096;
    std::size_t socketMessageBytes = 4096;
    std::size_t socketBacklog = 256;  // messages waiting for a slow event socket before it is dropped
};

class Closable {
public:
    virtual ~Closable() = default;
    virtual void Close() = 0;
};

class EventSocket;

struct ServeContext {
    ServeContext(BridgeCore& core, ListenPolicy policy, HttpLimits limits, bool quiet)
        : core(core), policy(std::move(policy)), limits(limits), quiet(quiet)
    {
    }

    std::uint64_t Open(std::weak_ptr<Closable> connection)
    {
        open.emplace(++lastId, std::move(connection));
        return lastId;
    }
    void Closed(std::uint64_t id)
    {
        open.erase(id);
        listeners.erase(id);
    }

    BridgeCore& core;     // valid while the server lives; connections reach it only through live handlers
    ListenPolicy policy;  // its port set once the listener is bound
    const HttpLimits limits;
    const bool quiet;
    bool stopped = false;
    std::uint64_t lastId = 0;
    std::map<std::uint64_t, std::weak_ptr<Closable>> open;
    std::map<std::uint64_t, std::weak_ptr<EventSocket>> listeners;
    KeyAnswerTexts keyAnswers;
};

// One line on standard error unless quiet: time, client, method, path, status, duration.
// A refusal's rule follows, in parentheses.
void LogRequest(const ServeContext& context, const std::string& client, std::string_view method,
                std::string_view target, int status, std::chrono::steady_clock::time_point started,
                std::string_view rule = {});

}  // namespace velmora::bridge

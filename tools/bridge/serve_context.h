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
#include <vector>

#include "tools/bridge/bridge_core.h"
#include "tools/bridge/bridge_json.h"
#include "tools/bridge/http_route.h"

namespace velmora::bridge {

struct HttpLimits {
    std::chrono::milliseconds idle{30000};  // to send one whole request, and between requests
    // A connection's first request must come whole within this (or idle, if shorter): sockets
    // opened and left silent give up their place sooner.
    std::chrono::milliseconds firstRequest{10000};
    std::size_t connections = 64;            // HTTP connections and event sockets together
    std::size_t connectionsPerAddress = 16;  // of them from one client address
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
    ServeContext(BridgeCore& core, ListenPolicy policy, HttpLimits limits, bool quiet, MacroBook macros = {})
        : core(core), policy(std::move(policy)), limits(limits), quiet(quiet), macros(std::move(macros))
    {
    }

    std::vector<std::string> MacroNames() const
    {
        std::vector<std::string> names;
        for (const Macro& macro : macros.macros) names.push_back(macro.name);
        return names;
    }

    std::uint64_t Open(std::weak_ptr<Closable> connection, const std::string& address)
    {
        open.emplace(++lastId, OpenConnection{std::move(connection), address});
        ++openFrom[address];
        return lastId;
    }
    void Closed(std::uint64_t id)
    {
        if (const auto found = open.find(id); found != open.end()) {
            if (const auto from = openFrom.find(found->second.address);
                from != openFrom.end() && --from->second == 0)
                openFrom.erase(from);
            open.erase(found);
        }
        listeners.erase(id);
    }
    // Why a new connection from address is refused (the connection limits), or empty.
    std::string OverLimit(const std::string& address) const
    {
        if (open.size() >= limits.connections) return "too many open connections";
        const auto from = openFrom.find(address);
        if (from != openFrom.end() && from->second >= limits.connectionsPerAddress)
            return "too many open connections from " + address;
        return {};
    }

    BridgeCore& core;     // valid while the server lives; connections reach it only through live handlers
    ListenPolicy policy;  // its port set once the listener is bound
    const HttpLimits limits;
    const bool quiet;
    const MacroBook macros;  // the macros file's
    bool stopped = false;
    std::uint64_t lastId = 0;
    struct OpenConnection {
        std::weak_ptr<Closable> connection;
        std::string address;  // the client's, without its port
    };
    std::map<std::uint64_t, OpenConnection> open;
    std::map<std::string, std::size_t> openFrom;  // by client address
    std::map<std::uint64_t, std::weak_ptr<EventSocket>> listeners;
    KeyAnswerTexts keyAnswers;
};

// One line on standard error unless quiet: time, client, method, path, status, duration.
// A refusal's rule follows, in parentheses.
void LogRequest(const ServeContext& context, const std::string& client, std::string_view method,
                std::string_view target, int status, std::chrono::steady_clock::time_point started,
                std::string_view rule = {});

}  // namespace velmora::bridge

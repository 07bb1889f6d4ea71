// Leased holds: a client that may vanish without a word (a browser tab frozen, a phone asleep) asks
// for a lease on its press and renews it while the key is down; a lease not renewed in time ends
// its hold. Plain data over an explicit clock, so that it is tested and fuzzed without timers.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "keys/held_keys.h"

namespace velmora::bridge {

// How long a lease lasts without a renewal.
inline constexpr std::chrono::milliseconds LeaseTime{1000};

class LeaseTable {
public:
    using Owner = HeldKeys::Owner;
    using TimePoint = std::chrono::steady_clock::time_point;

    struct Lease {
        std::string deviceId;
        int keyIndex = 0;
        Owner owner = 0;
        TimePoint deadline;
    };

    // The key, held by owner, lasts until now + LeaseTime unless renewed; replaces any lease on it.
    void Grant(const std::string& deviceId, int keyIndex, Owner owner, TimePoint now);
    // Renews owner's leases on keyIndex: false when it has none.
    bool Renew(Owner owner, int keyIndex, TimePoint now);
    // Forgets the device's leases whose key is no longer held by the lease's owner.
    void Keep(const std::string& deviceId, const HeldKeys& held);
    // The leases past their deadline, taken out of the table.
    std::vector<Lease> TakeExpired(TimePoint now);
    std::optional<TimePoint> NextDeadline() const;
    bool Empty() const { return m_leases.empty(); }

private:
    std::vector<Lease> m_leases;
};

}  // namespace velmora::bridge

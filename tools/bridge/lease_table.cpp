#include "tools/bridge/lease_table.h"

#include <algorithm>

namespace velmora::bridge {

void LeaseTable::Grant(const std::string& deviceId, int keyIndex, Owner owner, TimePoint now)
{
    for (Lease& lease : m_leases) {
        if (lease.deviceId == deviceId && lease.keyIndex == keyIndex) {
            lease.owner = owner;
            lease.deadline = now + LeaseTime;
            return;
        }
    }
    m_leases.push_back(Lease{deviceId, keyIndex, owner, now + LeaseTime});
}

bool LeaseTable::Renew(Owner owner, int keyIndex, TimePoint now)
{
    bool renewed = false;
    for (Lease& lease : m_leases) {
        if (lease.owner != owner || lease.keyIndex != keyIndex || lease.deadline <= now) continue;
        lease.deadline = now + LeaseTime;
        renewed = true;
    }
    return renewed;
}

void LeaseTable::Keep(const std::string& deviceId, const HeldKeys& held)
{
    m_leases.erase(std::remove_if(m_leases.begin(), m_leases.end(),
                                  [&](const Lease& lease) {
                                      return lease.deviceId == deviceId &&
                                             held.HolderOf(lease.keyIndex) != lease.owner;
                                  }),
                   m_leases.end());
}

std::vector<LeaseTable::Lease> LeaseTable::TakeExpired(TimePoint now)
{
    std::vector<Lease> expired;
    for (auto lease = m_leases.begin(); lease != m_leases.end();) {
        if (lease->deadline > now) {
            ++lease;
            continue;
        }
        expired.push_back(std::move(*lease));
        lease = m_leases.erase(lease);
    }
    return expired;
}

std::optional<LeaseTable::TimePoint> LeaseTable::NextDeadline() const
{
    if (m_leases.empty()) return std::nullopt;
    return std::min_element(m_leases.begin(), m_leases.end(),
                            [](const Lease& a, const Lease& b) { return a.deadline < b.deadline; })
        ->deadline;
}

}  // namespace velmora::bridge

// Who may send VISCA datagrams: IP addresses, the --visca-allow rules and the listen-address rule.
// VISCA has no authentication, so a listener beyond loopback answers only the networks it was given.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::bridge {

// An IPv4 or IPv6 address, in network byte order (IPv4 in the first four bytes).
struct NetAddress {
    bool v6 = false;
    std::array<std::uint8_t, 16> bytes{};

    bool operator==(const NetAddress& other) const { return v6 == other.v6 && bytes == other.bytes; }
    bool operator!=(const NetAddress& other) const { return !(*this == other); }
    bool operator<(const NetAddress& other) const
    {
        return v6 != other.v6 ? v6 < other.v6 : bytes < other.bytes;
    }
};

// Dotted IPv4 ("192.168.1.20") or IPv6 ("fd00::5", "::ffff:10.0.0.1"), without brackets, zone or
// port; nullopt when the text is neither.
std::optional<NetAddress> ParseNetAddress(std::string_view text);

// 127.0.0.0/8 or ::1 (also as ::ffff:127.x.y.z).
bool IsLoopback(const NetAddress& address);

// ADDR[/BITS]: the senders whose first BITS bits are those of ADDR (all of them without /BITS).
struct ViscaAllowRule {
    NetAddress network;
    int bits = 0;
};

// Parses one --visca-allow value; on error returns nullopt and sets error to what is wrong.
std::optional<ViscaAllowRule> ParseViscaAllowRule(std::string_view text, std::string& error);

// Whether the sender is in the rule's network. IPv4 senders match IPv4 rules only, also when a
// dual-stack socket reports them as ::ffff:a.b.c.d; IPv6 senders match IPv6 rules.
bool ViscaAllowMatches(const ViscaAllowRule& rule, const NetAddress& sender);

// Whether a datagram from sender is answered: with no rule, every sender (the listener is then on
// loopback, see CheckViscaListen); otherwise a sender that one of the rules matches.
bool ViscaAllows(const std::vector<ViscaAllowRule>& rules, const NetAddress& sender);

// Listening anywhere but on loopback needs at least one rule: the message naming that rule, or
// empty when listen and rules are fine together.
std::string CheckViscaListen(const NetAddress& listen, const std::vector<ViscaAllowRule>& rules);

}  // namespace velmora::bridge

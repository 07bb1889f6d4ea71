#include "tools/bridge/visca_allow.h"

namespace velmora::bridge {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexValue(char c)
{
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A decimal number without sign or leading zeros, at most max.
std::optional<int> ParseDecimal(std::string_view text, int max)
{
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > max) return std::nullopt;
    return value;
}

std::optional<std::array<std::uint8_t, 4>> ParseIpv4(std::string_view text)
{
    std::array<std::uint8_t, 4> bytes{};
    for (std::size_t part = 0; part < bytes.size(); ++part) {
        const std::size_t dot = text.find('.');
        const bool last = part + 1 == bytes.size();
        if (last != (dot == std::string_view::npos)) return std::nullopt;
        const auto value = ParseDecimal(text.substr(0, dot), 255);
        if (!value) return std::nullopt;
        bytes[part] = static_cast<std::uint8_t>(*value);
        text = last ? std::string_view() : text.substr(dot + 1);
    }
    return bytes;
}

// One to four hexadecimal digits.
std::optional<std::uint16_t> ParseGroup(std::string_view text)
{
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        const int digit = HexValue(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<std::array<std::uint8_t, 16>> ParseIpv6(std::string_view text)
{
    std::array<std::uint16_t, 8> groups{};
    std::size_t count = 0;
    std::optional<std::size_t> gap;  // where "::" stands, in groups
    if (text.substr(0, 2) == "::") {
        gap = 0;
        text.remove_prefix(2);
    }
    while (!text.empty()) {
        const std::size_t colon = text.find(':');
        const std::string_view part = text.substr(0, colon);
        if (colon == std::string_view::npos && part.find('.') != std::string_view::npos) {
            const auto ipv4 = ParseIpv4(part);  // the last 32 bits, dotted
            if (!ipv4 || count + 2 > groups.size()) return std::nullopt;
            groups[count++] = static_cast<std::uint16_t>((*ipv4)[0] << 8 | (*ipv4)[1]);
            groups[count++] = static_cast<std::uint16_t>((*ipv4)[2] << 8 | (*ipv4)[3]);
            break;
        }
        const auto group = ParseGroup(part);
        if (!group || count == groups.size()) return std::nullopt;
        groups[count++] = *group;
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
        if (!text.empty() && text[0] == ':') {
            if (gap) return std::nullopt;
            gap = count;
            text.remove_prefix(1);
        } else if (text.empty()) {
            return std::nullopt;  // a trailing single colon
        }
    }
    if (gap ? count == groups.size() : count != groups.size()) return std::nullopt;

    std::array<std::uint8_t, 16> bytes{};
    const std::size_t tail = gap ? count - *gap : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = gap && i >= *gap ? groups.size() - tail + (i - *gap) : i;
        bytes[2 * at] = static_cast<std::uint8_t>(groups[i] >> 8);
        bytes[2 * at + 1] = static_cast<std::uint8_t>(groups[i] & 0xFF);
    }
    return bytes;
}

bool IsV4Mapped(const NetAddress& address)
{
    if (!address.v6) return false;
    for (int i = 0; i < 10; ++i) {
        if (address.bytes[static_cast<std::size_t>(i)] != 0) return false;
    }
    return address.bytes[10] == 0xFF && address.bytes[11] == 0xFF;
}

// ::ffff:a.b.c.d as a.b.c.d; any other address as it is.
NetAddress Unmapped(const NetAddress& address)
{
    if (!IsV4Mapped(address)) return address;
    NetAddress v4;
    for (std::size_t i = 0; i < 4; ++i) v4.bytes[i] = address.bytes[12 + i];
    return v4;
}

}  // namespace

std::optional<NetAddress> ParseNetAddress(std::string_view text)
{
    NetAddress address;
    if (text.find(':') == std::string_view::npos) {
        const auto ipv4 = ParseIpv4(text);
        if (!ipv4) return std::nullopt;
        for (std::size_t i = 0; i < ipv4->size(); ++i) address.bytes[i] = (*ipv4)[i];
        return address;
    }
    const auto ipv6 = ParseIpv6(text);
    if (!ipv6) return std::nullopt;
    address.v6 = true;
    address.bytes = *ipv6;
    return address;
}

bool IsLoopback(const NetAddress& address)
{
    const NetAddress plain = Unmapped(address);
    if (!plain.v6) return plain.bytes[0] == 127;
    static const std::array<std::uint8_t, 16> loopback{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return plain.bytes == loopback;
}

std::optional<ViscaAllowRule> ParseViscaAllowRule(std::string_view text, std::string& error)
{
    const std::size_t slash = text.find('/');
    const std::string_view addressText = text.substr(0, slash);
    const auto address = ParseNetAddress(addressText);
    if (!address) {
        error = "'" + std::string(addressText) + "' is not an IPv4 or IPv6 address";
        return std::nullopt;
    }
    const int maxBits = address->v6 ? 128 : 32;
    ViscaAllowRule rule{*address, maxBits};
    if (slash != std::string_view::npos) {
        const auto bits = ParseDecimal(text.substr(slash + 1), maxBits);
        if (!bits) {
            error = "the prefix length after '/' must be a number from 0 to " + std::to_string(maxBits);
            return std::nullopt;
        }
        rule.bits = *bits;
    }
    // ::ffff:a.b.c.d/BITS names IPv4 senders, and only them.
    if (IsV4Mapped(rule.network)) {
        if (rule.bits < 96) {
            error = "an IPv4 address written as IPv6 (::ffff:a.b.c.d) takes a prefix length from 96 to 128";
            return std::nullopt;
        }
        rule.network = Unmapped(rule.network);
        rule.bits -= 96;
    }
    return rule;
}

bool ViscaAllowMatches(const ViscaAllowRule& rule, const NetAddress& sender)
{
    const NetAddress plain = Unmapped(sender);
    if (plain.v6 != rule.network.v6) return false;
    const int whole = rule.bits / 8;
    for (int i = 0; i < whole; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (plain.bytes[at] != rule.network.bytes[at]) return false;
    }
    const int rest = rule.bits % 8;
    if (rest == 0) return true;
    const auto mask = static_cast<std::uint8_t>(0xFF << (8 - rest));
    const auto at = static_cast<std::size_t>(whole);
    return (plain.bytes[at] & mask) == (rule.network.bytes[at] & mask);
}

bool ViscaAllows(const std::vector<ViscaAllowRule>& rules, const NetAddress& sender)
{
    if (rules.empty()) return true;
    for (const ViscaAllowRule& rule : rules) {
        if (ViscaAllowMatches(rule, sender)) return true;
    }
    return false;
}

std::string CheckViscaListen(const NetAddress& listen, const std::vector<ViscaAllowRule>& rules)
{
    if (IsLoopback(listen) || !rules.empty()) return {};
    return "VISCA has no authentication: listening on an address other than loopback needs at least one "
           "--visca-allow ADDR[/BITS]";
}

}  // namespace velmora::bridge

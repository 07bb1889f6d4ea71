#include "tools/cli_number.h"

#include <cstdio>
#include <limits>

namespace velmoractl {

namespace {

int DigitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    return value < base ? value : -1;
}

}  // namespace

std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t maximum, std::string& error)
{
    const std::string quoted = "'" + std::string(text) + "'";
    std::string_view digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    if (digits.empty()) {
        error = quoted + " is not a number (decimal or 0x hexadecimal)";
        return std::nullopt;
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (char c : digits) {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            error = quoted + " is not a number (decimal or 0x hexadecimal)";
            return std::nullopt;
        }
        const auto limit = std::numeric_limits<std::uint64_t>::max();
        if (value > (limit - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base))
            overflow = true;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    if (overflow || value > maximum) {
        error = quoted + " is out of range (at most " + NumberText(maximum) + ")";
        return std::nullopt;
    }
    return value;
}

std::string NumberText(std::uint64_t value)
{
    char text[48];
    std::snprintf(text, sizeof text, "0x%llX (%llu)", static_cast<unsigned long long>(value),
                  static_cast<unsigned long long>(value));
    return text;
}

std::string Hex32(std::uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace velmoractl

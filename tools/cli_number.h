// Numbers on the command line: decimal or 0x hexadecimal, unsigned, with a range check.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmoractl {

// The value of text, or nullopt with error set ("'0x1G' is not a number", "... is above 255").
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t maximum, std::string& error);

// "0x1F (31)".
std::string NumberText(std::uint64_t value);
// "0x0000001F".
std::string Hex32(std::uint64_t value);

}  // namespace velmoractl

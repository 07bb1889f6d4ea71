// Text from a camera or the platform (a USB product string, the camera's own text, a device label)
// made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace velmoractl {

// Control characters (C0, DEL and C1) as JSON writes them, \u and four hex digits ("\u001b",
// "\u0085"); each byte that is not part of valid UTF-8 as \x and two hex digits ("\xff"). Everything
// else, other scripts included, stays as it is.
std::string TerminalText(std::string_view text);

}  // namespace velmoractl

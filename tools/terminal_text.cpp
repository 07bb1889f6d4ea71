#include "tools/terminal_text.h"

#include <cstdio>

namespace velmoractl {

namespace {

// The length of the valid UTF-8 sequence at the start of text, or 0 (RFC 3629: no overlong
// forms, no surrogates, nothing above U+10FFFF).
std::size_t SequenceLength(std::string_view text)
{
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // the second byte's range
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

std::string TerminalText(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    char escape[8];
    while (!text.empty()) {
        const std::size_t length = SequenceLength(text);
        const auto lead = static_cast<unsigned char>(text[0]);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", lead);
            shown += escape;
            text.remove_prefix(1);
            continue;
        }
        // C1 controls are U+0080 to U+009F: C2 80 to C2 9F.
        const unsigned code = length == 1 ? lead : length == 2 && lead == 0xC2 ? text[1] & 0xFFu : 0xA0u;
        if (code < 0x20 || (code >= 0x7F && code < 0xA0)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", code);
            shown += escape;
        } else {
            shown += text.substr(0, length);
        }
        text.remove_prefix(length);
    }
    return shown;
}

}  // namespace velmoractl

// UTF-16 <-> UTF-8 for the platform's wide strings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::windows {

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Bytes that are not well-formed UTF-8 become U+FFFD each.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace velmora::windows

// The files serve's options name (a token, a VISCA mapping): small regular files, read whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::bridge {

// Reads path into text. What is wrong with it otherwise, as the end of a sentence that starts with
// its name: "is a directory, not a file", "is not a regular file", "cannot be read: ...", "is
// larger than 65536 bytes".
std::string ReadSettingFile(const std::string& path, std::size_t maxBytes, std::string& text);

// text without the UTF-8 byte-order mark an editor may have put at its start.
std::string_view WithoutUtf8Mark(std::string_view text);

}  // namespace velmora::bridge

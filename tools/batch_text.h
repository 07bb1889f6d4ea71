// The text of a file velmoractl reads as lines (a batch, a macros file): UTF-8, with the encodings
// that editors and shells produce instead named.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmoractl {

// The text of the file as read: a UTF-8 byte-order mark (Notepad's) dropped. UTF-16 (its mark
// FF FE or FE FF, or without one a zero byte beside the first character, as PowerShell 5 writes
// it) is refused: nullopt, with encoding "UTF-16LE" or "UTF-16BE".
std::optional<std::string_view> BatchText(std::string_view bytes, std::string& encoding);

}  // namespace velmoractl

#include "tools/batch_text.h"

namespace velmoractl {

std::optional<std::string_view> BatchText(std::string_view bytes, std::string& encoding)
{
    if (bytes.size() >= 2) {
        const unsigned char first = static_cast<unsigned char>(bytes[0]);
        const unsigned char second = static_cast<unsigned char>(bytes[1]);
        // A batch starts with an ASCII character, which UTF-16 pairs with a zero byte.
        if ((first == 0xFF && second == 0xFE) || (first != 0 && second == 0)) {
            encoding = "UTF-16LE";
            return std::nullopt;
        }
        if ((first == 0xFE && second == 0xFF) || (first == 0 && second != 0)) {
            encoding = "UTF-16BE";
            return std::nullopt;
        }
    }
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) bytes.remove_prefix(kUtf8Mark.size());
    return bytes;
}

}  // namespace velmoractl

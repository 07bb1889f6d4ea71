#include "tools/bridge/phone_link.h"

#include <cstdio>
#include <memory>

#ifdef VELMORA_HAVE_QRENCODE
#include <qrencode.h>
#endif

namespace velmora::bridge {

std::string PhoneUrl(std::string_view address, unsigned short port, std::string_view token)
{
    const bool v6 = address.find(':') != std::string_view::npos;
    std::string url = "http://" + std::string(v6 ? "[" : "") + std::string(address) + (v6 ? "]" : "") + ":" +
                      std::to_string(port) + "/#token=";
    for (const char c : token) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            url += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            url += escaped;
        }
    }
    return url;
}

std::string TerminalQrCode(std::string_view text)
{
#ifdef VELMORA_HAVE_QRENCODE
    const std::string data(text);
    const std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeString8bit(data.c_str(), 0, QR_ECLEVEL_L), QRcode_free);
    if (!code) return {};
    constexpr int quiet = 2;
    const int width = code->width;
    const auto dark = [&code, width](int x, int y) {
        return x >= 0 && y >= 0 && x < width && y < width && (code->data[y * width + x] & 1) != 0;
    };
    // Two rows of modules a line: the upper one in the top half of the character.
    std::string lines;
    for (int y = -quiet; y < width + quiet; y += 2) {
        for (int x = -quiet; x < width + quiet; ++x) {
            const bool top = !dark(x, y);
            const bool bottom = y + 1 < width + quiet && !dark(x, y + 1);
            lines += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
        }
        lines += '\n';
    }
    return lines;
#else
    (void)text;
    return {};
#endif
}

}  // namespace velmora::bridge

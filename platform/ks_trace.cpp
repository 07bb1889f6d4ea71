#include "platform/ks_trace.h"

#include <cstdio>

namespace velmora {

std::string HexBytes(const std::uint8_t* bytes, std::size_t count)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    if (count == 0) return text;
    text.reserve(count * 3 - 1);
    for (std::size_t i = 0; i < count; ++i) {
        if (i) text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

std::string KsTraceLine(const KsNodeRequest& request, const void* data, std::uint32_t dataLength,
                        std::uint32_t bytesReturned, Status status)
{
    const bool set = (request.flags & KsPropertyTypeSet) != 0;
    const bool sizeQuery = !set && dataLength == 0;
    const char* direction = set ? "SET" : sizeQuery ? "LEN" : "GET";
    char head[96];
    std::snprintf(head, sizeof head, "%s sel=%u node=%u set={", direction, static_cast<unsigned>(request.id),
                  static_cast<unsigned>(request.nodeId));
    char tail[64];
    std::snprintf(tail, sizeof tail, "} flags=0x%08X len=%u status=", static_cast<unsigned>(request.flags),
                  static_cast<unsigned>(dataLength));
    std::string line = head + GuidText(request.set) + tail + StatusName(status);
    if (sizeQuery) {
        line += " size=" + std::to_string(bytesReturned);
    } else if (data && (set || Succeeded(status))) {
        line += " data=" + HexBytes(static_cast<const std::uint8_t*>(data), dataLength);
    }
    return line;
}

}  // namespace velmora

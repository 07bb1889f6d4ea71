#include "tools/bridge/serve_log.h"

#include <ctime>

namespace velmora::bridge {

std::string LogStamp()
{
    const std::time_t now = std::time(nullptr);
    char stamp[32] = "-";
    if (const std::tm* utc = std::gmtime(&now)) std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", utc);
    return stamp;
}

std::string EndpointText(const boost::asio::ip::address& address, unsigned short port)
{
    const std::string text = address.to_string();
    return (address.is_v6() ? "[" + text + "]" : text) + ":" + std::to_string(port);
}

}  // namespace velmora::bridge

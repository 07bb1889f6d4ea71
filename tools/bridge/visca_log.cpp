#include "tools/bridge/visca_log.h"

#include <cstdio>

#include "platform/ks_trace.h"
#include "tools/bridge/serve_log.h"

namespace velmora::bridge {

namespace {

constexpr auto kSecond = std::chrono::seconds(1);

// The VISCA message of a datagram as sent: after the header, or all of it.
std::pair<const std::uint8_t*, std::size_t> MessageOf(const ViscaDecision& decision,
                                                      const ViscaDatagram& datagram)
{
    const std::size_t skip =
        decision.form.framing == ViscaFraming::Header && datagram.size() >= ViscaHeaderSize ? ViscaHeaderSize
                                                                                            : 0;
    return {datagram.data() + skip, datagram.size() - skip};
}

// An error reply: z0 6y ...
bool IsError(const ViscaDecision& decision, const std::vector<ViscaDatagram>& answers)
{
    for (const ViscaDatagram& datagram : answers) {
        const auto [message, size] = MessageOf(decision, datagram);
        if (size >= 2 && (message[1] & 0xF0) == 0x60) return true;
    }
    return false;
}

std::string SenderText(const boost::asio::ip::udp::endpoint& sender)
{
    return EndpointText(sender.address(), sender.port());
}

}  // namespace

ViscaLog::ViscaLog(boost::asio::io_context& loop, bool quiet) : m_timer(loop), m_quiet(quiet) {}

void ViscaLog::Tick(std::chrono::steady_clock::time_point now)
{
    if (now - m_second < kSecond) return;
    Flush();
    m_second = now;
}

void ViscaLog::Arm()
{
    if (m_armed) return;
    m_armed = true;
    m_timer.expires_at(m_second + kSecond);
    m_timer.async_wait([this](const boost::system::error_code& error) {
        if (error) return;
        m_armed = false;
        Flush();
    });
}

void ViscaLog::Answered(const boost::asio::ip::udp::endpoint& sender, const ViscaDecision& decision,
                        const std::vector<ViscaDatagram>& answers,
                        std::chrono::steady_clock::time_point started)
{
    if (m_quiet) return;
    const auto now = std::chrono::steady_clock::now();
    Tick(now);
    if (m_lines >= LinesPerSecond) {
        ++m_unwritten;
        if (IsError(decision, answers)) ++m_unwrittenErrors;
        return Arm();
    }
    ++m_lines;
    std::string line = LogStamp() + " " + SenderText(sender) + " VISCA ";
    if (decision.form.framing == ViscaFraming::Header)
        line += "#" + std::to_string(decision.form.sequence) + " ";
    line += std::string(decision.what) + ":";
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const auto [message, size] = MessageOf(decision, answers[i]);
        line += (i ? " | " : " ") + HexBytes(message, size);
    }
    if (answers.empty()) line += " no answer";
    char duration[32];
    std::snprintf(duration, sizeof duration, " %.2fms\n",
                  std::chrono::duration<double, std::milli>(now - started).count());
    line += duration;
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void ViscaLog::Dropped(const boost::asio::ip::udp::endpoint& sender)
{
    Tick(std::chrono::steady_clock::now());
    ++m_dropped;
    ++m_droppedTotal;
    m_lastDropped = sender;
    Arm();
}

void ViscaLog::Flush()
{
    if (m_unwritten) {
        std::fprintf(stderr,
                     "%s VISCA: %llu more datagram(s) in that second, %llu of them answered with an error\n",
                     LogStamp().c_str(), static_cast<unsigned long long>(m_unwritten),
                     static_cast<unsigned long long>(m_unwrittenErrors));
    }
    if (m_dropped) {
        std::fprintf(stderr,
                     "%s VISCA: %llu datagram(s) from senders not allowed dropped, the last from %s\n",
                     LogStamp().c_str(), static_cast<unsigned long long>(m_dropped),
                     SenderText(m_lastDropped).c_str());
    }
    m_lines = m_unwritten = m_unwrittenErrors = m_dropped = 0;
    if (m_armed) {
        m_armed = false;
        m_timer.cancel();
    }
}

}  // namespace velmora::bridge

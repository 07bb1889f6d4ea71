// serve's lines about VISCA datagrams on standard error: one a datagram, as long as they come at a
// pace a person can read; past LinesPerSecond in a second, the rest of that second is summed up in
// one line. Datagrams from senders not allowed get no line of their own: each second they came
// ends with their count, with --quiet too.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <vector>

#include "tools/bridge/visca_receiver.h"

namespace velmora::bridge {

class ViscaLog {
public:
    static constexpr std::uint64_t LinesPerSecond = 20;

    ViscaLog(boost::asio::io_context& loop, bool quiet);

    // A datagram from sender, decided as decision and answered with answers (as sent), which came
    // at started.
    void Answered(const boost::asio::ip::udp::endpoint& sender, const ViscaDecision& decision,
                  const std::vector<ViscaDatagram>& answers, std::chrono::steady_clock::time_point started);
    void Dropped(const boost::asio::ip::udp::endpoint& sender);
    // Writes the counts of the second under way, and stops the timer.
    void Flush();

    std::uint64_t DroppedTotal() const { return m_droppedTotal; }

private:
    // The second a line falls in: a new one when the last has passed.
    void Tick(std::chrono::steady_clock::time_point now);
    void Arm();

    boost::asio::steady_timer m_timer;
    const bool m_quiet;
    bool m_armed = false;
    std::chrono::steady_clock::time_point m_second{};
    std::uint64_t m_lines = 0;      // written this second
    std::uint64_t m_unwritten = 0;  // past the limit this second
    std::uint64_t m_unwrittenErrors = 0;
    std::uint64_t m_dropped = 0;  // this second
    std::uint64_t m_droppedTotal = 0;
    boost::asio::ip::udp::endpoint m_lastDropped;
};

}  // namespace velmora::bridge

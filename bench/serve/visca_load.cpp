// Load for velmoractl serve --visca: SENDERS controllers on loopback, each with a socket of its own,
// send DATAGRAMS datagrams in all in the VISCA-over-IP header framing, one command at a time (the
// next once the last is complete, as a controller does); every RETRANSMIT-th command goes twice, and
// a command not complete within a second goes again (both retransmissions: same sequence number,
// same message). Senders 0 to 3 hold keys (zoom tele, zoom wide, focus far, focus near, each with its
// stop), the others click (menu, white balance, exposure, memory recall 0 to 4).
//
// Prints datagrams a second; with --trace FILE (the simulated camera's trace, once serve has sent
// everything) checks that every command was acted on exactly once: each key's presses on the trace
// are the commands that press it, and every hold ends with one release before the next begins
// (the keypad holds one key at a time) and before the end. Exit 0 when every datagram was answered
// with ACK and Completion and the trace (if given) holds what was sent.
//
// Usage: velmora_visca_load PORT [--datagrams N] [--senders N] [--retransmit K] [--seconds S]
//                                [--trace FILE]
#include <array>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using boost::asio::ip::udp;
using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kRelease = 0x16;  // every key's release

struct Command {
    std::vector<std::uint8_t> message;
    int press;   // the data byte its key's press writes, or -1 (a stop)
    bool holds;  // the press starts a hold (its key has a release)
};

const Command kZoomStop{{0x81, 0x01, 0x04, 0x07, 0x00, 0xFF}, -1, false};
const Command kFocusStop{{0x81, 0x01, 0x04, 0x08, 0x00, 0xFF}, -1, false};

// What sender i sends, in turn.
std::vector<Command> CommandsOf(int sender)
{
    switch (sender) {
        case 0:
            return {{{0x81, 0x01, 0x04, 0x07, 0x02, 0xFF}, 0x03, true}, kZoomStop};
        case 1:
            return {{{0x81, 0x01, 0x04, 0x07, 0x35, 0xFF}, 0x07, true}, kZoomStop};
        case 2:
            return {{{0x81, 0x01, 0x04, 0x08, 0x02, 0xFF}, 0x04, true}, kFocusStop};
        case 3:
            return {{{0x81, 0x01, 0x04, 0x08, 0x34, 0xFF}, 0x06, true}, kFocusStop};
        default:
            break;
    }
    std::vector<Command> clicks = {
        {{0x81, 0x01, 0x06, 0x06, 0x10, 0xFF}, 0x05, false},  // menu
        {{0x81, 0x01, 0x04, 0x35, 0x00, 0xFF}, 0x09, false},  // awb
        {{0x81, 0x01, 0x04, 0x10, 0x05, 0xFF}, 0x09, false},  // awb
        {{0x81, 0x01, 0x04, 0x39, 0x00, 0xFF}, 0x08, false},  // ae
    };
    const std::uint8_t memories[] = {0x01, 0x02, 0x10, 0x11, 0x12};  // live normal lock1 lock2 lock3
    for (std::uint8_t memory = 0; memory < 5; ++memory)
        clicks.push_back({{0x81, 0x01, 0x04, 0x3F, 0x02, memory, 0xFF}, memories[memory], memory >= 2});
    // Each sender starts elsewhere in the list.
    std::vector<Command> turn(clicks.begin() + sender % static_cast<int>(clicks.size()), clicks.end());
    turn.insert(turn.end(), clicks.begin(), clicks.begin() + sender % static_cast<int>(clicks.size()));
    return turn;
}

struct Totals {
    std::uint64_t datagrams = 0;           // sent
    std::uint64_t retransmitted = 0;       // of them
    std::uint64_t answers = 0;             // ACK or Completion of the command under way
    std::uint64_t wrong = 0;               // any other reply
    std::uint64_t commands = 0;            // complete
    std::map<int, std::uint64_t> presses;  // by data byte: the presses the commands make
    std::uint64_t holds = 0;               // presses that start a hold
};

class Sender {
public:
    Sender(boost::asio::io_context& io, int index, udp::endpoint server, std::uint64_t budget,
           unsigned retransmit, Totals& totals)
        : m_socket(io, udp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0)),
          m_timer(io),
          m_server(server),
          m_commands(CommandsOf(index)),
          m_budget(budget),
          m_retransmit(retransmit),
          m_totals(totals)
    {
    }

    void Start()
    {
        Receive();
        Next();
    }

    bool Done() const { return m_done; }

private:
    void Next()
    {
        if (m_budget == 0) {
            m_done = true;
            m_timer.cancel();
            m_socket.close();
            return;
        }
        const Command& command = m_commands[m_turn % m_commands.size()];
        ++m_sequence;
        m_datagram = {0x01,
                      0x00,
                      0x00,
                      static_cast<std::uint8_t>(command.message.size()),
                      static_cast<std::uint8_t>(m_sequence >> 24),
                      static_cast<std::uint8_t>(m_sequence >> 16),
                      static_cast<std::uint8_t>(m_sequence >> 8),
                      static_cast<std::uint8_t>(m_sequence)};
        m_datagram.insert(m_datagram.end(), command.message.begin(), command.message.end());
        m_owed = 0;
        Send();
        if (m_budget > 0 && m_retransmit && ++m_sinceRetransmission >= m_retransmit) {
            m_sinceRetransmission = 0;
            Send();
            ++m_totals.retransmitted;
        }
        Wait();
    }

    void Send()
    {
        --m_budget;
        m_owed += 2;
        ++m_totals.datagrams;
        m_socket.send_to(boost::asio::buffer(m_datagram), m_server);
    }

    // A command not complete within a second goes again, if datagrams are left to send.
    void Wait()
    {
        m_timer.expires_after(std::chrono::seconds(1));
        m_timer.async_wait([this](const boost::system::error_code& error) {
            if (error || m_done) return;
            if (m_budget > 0) {
                Send();
                ++m_totals.retransmitted;
            }
            Wait();
        });
    }

    void Receive()
    {
        m_socket.async_receive(boost::asio::buffer(m_reply),
                               [this](const boost::system::error_code& error, std::size_t size) {
                                   if (error) return;
                                   OnReply(size);
                                   if (!m_done) Receive();
                               });
    }

    void OnReply(std::size_t size)
    {
        const bool ours = size == 11 && m_reply[0] == 0x01 && m_reply[1] == 0x11 &&
                          std::memcmp(&m_reply[4], &m_datagram[4], 4) == 0 && m_reply[8] == 0x90 &&
                          m_reply[10] == 0xFF && (m_reply[9] == 0x41 || m_reply[9] == 0x51);
        if (!ours) {
            ++m_totals.wrong;
            return;
        }
        ++m_totals.answers;
        if (--m_owed > 0) return;
        // Every datagram of the command answered: the next one.
        const Command& command = m_commands[m_turn++ % m_commands.size()];
        ++m_totals.commands;
        if (command.press >= 0) ++m_totals.presses[command.press];
        if (command.holds) ++m_totals.holds;
        m_timer.cancel();
        Next();
    }

    udp::socket m_socket;
    boost::asio::steady_timer m_timer;
    udp::endpoint m_server;
    std::vector<Command> m_commands;
    std::size_t m_turn = 0;
    std::uint64_t m_budget;
    unsigned m_retransmit;
    unsigned m_sinceRetransmission = 0;
    std::uint32_t m_sequence = 0;
    std::vector<std::uint8_t> m_datagram;
    std::array<std::uint8_t, 64> m_reply{};
    int m_owed = 0;
    bool m_done = false;
    Totals& m_totals;
};

// The key writes on the trace, in order: the data byte of each.
std::vector<int> TracedKeys(const std::string& path)
{
    std::vector<int> keys;
    std::ifstream trace(path);
    const std::string marker = "data=26 16 00 00 00 01 00 00 00 00 ";
    for (std::string line; std::getline(trace, line);) {
        const auto at = line.find(marker);
        if (line.rfind("SET ", 0) == 0 && at != std::string::npos)
            keys.push_back(std::stoi(line.substr(at + marker.size(), 2), nullptr, 16));
    }
    return keys;
}

// Whether the trace holds exactly the presses the commands made, each hold ended by one release
// before the next began and before the end.
bool CheckTrace(const std::string& path, const Totals& totals)
{
    const std::vector<int> keys = TracedKeys(path);
    std::map<int, std::uint64_t> seen;
    std::uint64_t releases = 0, strays = 0, overlaps = 0;
    bool held = false;
    for (const int key : keys) {
        if (key == kRelease) {
            ++releases;
            strays += held ? 0 : 1;
            held = false;
            continue;
        }
        ++seen[key];
        const bool holds = key == 0x03 || key == 0x04 || key == 0x06 || key == 0x07 || key >= 0x10;
        if (holds) {
            overlaps += held ? 1 : 0;
            held = true;
        }
    }
    bool ok = true;
    std::printf("trace: %zu key writes\n", keys.size());
    for (const auto& [key, count] : totals.presses) {
        std::printf("  press %02X: %llu on the trace, %llu commands\n", key,
                    static_cast<unsigned long long>(seen[key]), static_cast<unsigned long long>(count));
        ok = ok && seen[key] == count;
    }
    ok = ok && seen.size() == totals.presses.size();
    std::printf(
        "  releases %llu, holds begun %llu; releases with nothing held %llu, presses while a key was held "
        "%llu; held at the end: %s\n",
        static_cast<unsigned long long>(releases), static_cast<unsigned long long>(totals.holds),
        static_cast<unsigned long long>(strays), static_cast<unsigned long long>(overlaps),
        held ? "yes" : "no");
    return ok && releases == totals.holds && strays == 0 && overlaps == 0 && !held;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: %s PORT [--datagrams N] [--senders N] [--retransmit K] [--seconds S] "
                     "[--trace FILE]\n",
                     argv[0]);
        return 2;
    }
    const auto port = static_cast<unsigned short>(std::atoi(argv[1]));
    std::uint64_t datagrams = 100000;
    int senders = 20;
    unsigned retransmit = 10;
    int seconds = 120;
    std::string trace;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--datagrams") datagrams = std::strtoull(argv[i + 1], nullptr, 10);
        if (option == "--senders") senders = std::atoi(argv[i + 1]);
        if (option == "--retransmit") retransmit = static_cast<unsigned>(std::atoi(argv[i + 1]));
        if (option == "--seconds") seconds = std::atoi(argv[i + 1]);
        if (option == "--trace") trace = argv[i + 1];
    }

    boost::asio::io_context io(1);
    const udp::endpoint server(boost::asio::ip::make_address("127.0.0.1"), port);
    Totals totals;
    std::vector<std::unique_ptr<Sender>> all;
    for (int i = 0; i < senders; ++i) {
        const std::uint64_t share =
            datagrams / static_cast<std::uint64_t>(senders) +
            (static_cast<std::uint64_t>(i) < datagrams % static_cast<std::uint64_t>(senders));
        all.push_back(std::make_unique<Sender>(io, i, server, share, retransmit, totals));
    }
    const Clock::time_point started = Clock::now();
    for (auto& sender : all) sender->Start();
    io.run_for(std::chrono::seconds(seconds));
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();

    bool complete = true;
    for (const auto& sender : all) complete = complete && sender->Done();
    std::printf(
        "%llu datagrams (%llu retransmissions) from %d senders in %.2f s: %.0f datagrams/s; %llu commands "
        "complete; %llu answers (expected %llu), %llu other replies%s\n",
        static_cast<unsigned long long>(totals.datagrams),
        static_cast<unsigned long long>(totals.retransmitted), senders, elapsed,
        static_cast<double>(totals.datagrams) / elapsed, static_cast<unsigned long long>(totals.commands),
        static_cast<unsigned long long>(totals.answers),
        static_cast<unsigned long long>(2 * totals.datagrams), static_cast<unsigned long long>(totals.wrong),
        complete ? "" : "; NOT COMPLETE within the time");
    bool ok = complete && totals.wrong == 0 && totals.answers == 2 * totals.datagrams;
    if (!trace.empty()) ok = CheckTrace(trace, totals) && ok;
    const char* verdict =
        trace.empty() ? "every datagram answered" : "every datagram answered, every command acted on once";
    std::printf("%s\n", ok ? verdict : "FAILED");
    return ok ? 0 : 1;
}

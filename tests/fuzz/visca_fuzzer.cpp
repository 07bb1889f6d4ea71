// Runs of VISCA datagrams from four senders through one receiver: records [control][length][datagram],
// the control byte picking the sender, the work's outcome (done, failed, busy) and whether it stays
// queued behind the next datagrams. Answers must be well-formed in the request's framing, a datagram
// repeating its sender's last one must not act again (unless busy or reset between), work must not come
// with an error, and the keypad must hold one key at most.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "tools/bridge/visca_receiver.h"

using namespace velmora;
using namespace velmora::bridge;

namespace {

std::uint32_t ReadU32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) << 24 | at[1] << 16 | at[2] << 8 | at[3];
}

// A VISCA reply: z0 ... FF from a camera (z = 9..F), or a broadcast 88 ... FF; FF only at the end.
bool IsReply(const std::uint8_t* message, std::size_t size)
{
    if (size < 3 || size > 16 || std::find(message, message + size, 0xFF) != message + size - 1) return false;
    return message[0] == 0x88 || (message[0] >= 0x90 && (message[0] & 0x0F) == 0);
}

void CheckAnswer(const ViscaDatagram& datagram, const ViscaReplyForm& form)
{
    if (form.framing == ViscaFraming::Bare) {
        FUZZ_CHECK(IsReply(datagram.data(), datagram.size()));
        return;
    }
    const std::size_t size = datagram.size() - ViscaHeaderSize;
    FUZZ_CHECK(datagram.size() > ViscaHeaderSize &&
               static_cast<std::size_t>(datagram[2] << 8 | datagram[3]) == size);
    FUZZ_CHECK(ReadU32(datagram.data() + 4) == form.sequence);
    const bool reset =
        datagram[0] == 0x02 && datagram[1] == 0x01 && size == 1 && datagram[8] == ViscaControlReset;
    FUZZ_CHECK(reset || (datagram[0] == 0x01 && datagram[1] == 0x11 && IsReply(datagram.data() + 8, size)));
}

// Each sender's last header-framed message (sequence number and payload), for the at-most-once check.
struct LastMessage {
    std::vector<std::uint8_t> key;
    std::uint64_t ticket = 0;
    bool mayActAgain = false;  // it was answered busy
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ViscaReceiver receiver(DefaultViscaMapping());
    HeldKeys held;
    std::optional<LastMessage> last[4];
    std::deque<std::pair<ViscaDecision, std::uint8_t>> queue;  // the control byte picks outcome and zoom

    const auto finish = [&](const std::pair<ViscaDecision, std::uint8_t>& queued) {
        const auto& [decision, control] = queued;
        const auto outcome = static_cast<ViscaOutcome>((control >> 2) % 3);
        const ViscaZoomReading zoom{static_cast<std::int32_t>(control * 0x01010101u), -7,
                                    control & 0x80 ? 1 : 40};
        const std::vector<ViscaDatagram> answer = receiver.Finish(decision, outcome, zoom);
        FUZZ_CHECK(!answer.empty());
        for (const ViscaDatagram& datagram : answer) CheckAnswer(datagram, decision.form);
        const int port = decision.sender.port;
        if (outcome == ViscaOutcome::Busy && last[port] && last[port]->ticket == decision.ticket) {
            last[port]->mayActAgain = true;
        }
        if (outcome == ViscaOutcome::Busy || decision.work != ViscaWork::Keys) return;
        for (int slot : ViscaStepSlots(decision.step, held)) {
            FUZZ_CHECK(slot >= 0 && slot < KeySlotCount);
            held.Sent(slot);
        }
        FUZZ_CHECK(held.KeyIndices().size() <= 1);
    };

    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::uint8_t control = data[at];
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        const std::uint8_t* datagram = data + at + 2;
        at += 2 + length;

        const ViscaSender sender{NetAddress{}, static_cast<std::uint16_t>(control & 3)};
        const ViscaDecision decision = receiver.Receive(sender, datagram, length);
        FUZZ_CHECK(!decision.what.empty());
        for (const ViscaDatagram& answer : decision.sendNow) CheckAnswer(answer, decision.form);
        // Work comes with nothing sent before it is done, and with no error for the answer when done.
        if (decision.work != ViscaWork::None) {
            FUZZ_CHECK(decision.sendNow.empty() && !decision.onFailed.empty() && !decision.onBusy.empty());
            for (const auto* answers : {&decision.onDone, &decision.onFailed, &decision.onBusy}) {
                for (const ViscaDatagram& answer : *answers) CheckAnswer(answer, decision.form);
            }
            const std::size_t at = decision.form.framing == ViscaFraming::Header ? ViscaHeaderSize : 0;
            FUZZ_CHECK(decision.work == ViscaWork::ZoomQuery ||
                       decision.onDone.at(0).at(at + 1) == 0x41);  // ACK
        }

        // At most once: the header-framed message repeating the sender's last one acts on nothing.
        const std::uint16_t type =
            length >= ViscaHeaderSize ? static_cast<std::uint16_t>(datagram[0] << 8 | datagram[1]) : 0;
        auto& previous = last[control & 3];
        if (type == ViscaCommandType || type == ViscaInquiryType || type == ViscaDeviceSettingType) {
            const std::vector<std::uint8_t> key(datagram + 4, datagram + length);
            if (previous && previous->key == key && !previous->mayActAgain) {
                FUZZ_CHECK(decision.work == ViscaWork::None);
            } else {
                previous = LastMessage{key, decision.ticket, false};
            }
        } else if (type == ViscaControlType && length == ViscaHeaderSize + 1 && datagram[3] == 1 &&
                   datagram[2] == 0 && datagram[8] == ViscaControlReset) {
            previous.reset();
        }

        if (decision.work != ViscaWork::None) queue.push_back({decision, control});
        if (!(control & 0x10)) {
            for (; !queue.empty(); queue.pop_front()) finish(queue.front());
        }
    }
    for (; !queue.empty(); queue.pop_front()) finish(queue.front());
    return 0;
}

// A run of VISCA datagrams from four senders, in either framing or none, through one receiver: each
// record of the input is [control byte][length][datagram]. The control byte picks the sender, the
// outcome of the work (done, failed, busy) and whether the work finishes at once or stays queued
// behind the next datagrams. Checked: every answer is a well-formed reply in the request's framing,
// a datagram repeating its sender's last sequence number and message is never acted on again (unless
// the first one was busy, or a RESET came between), nothing is acted on when the answer is an error,
// and the keypad never holds more than one key.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "tools/bridge/visca_receiver.h"

using namespace velmora;
using namespace velmora::bridge;

namespace {

#define FUZZ_CHECK(condition)               \
    do {                                    \
        if (!(condition)) __builtin_trap(); \
    } while (0)

std::uint32_t ReadU32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) << 24 | at[1] << 16 | at[2] << 8 | at[3];
}

// A VISCA reply: z0 ... FF from a camera (z = 9..F), or a broadcast 88 ... FF; FF only at the end.
bool IsReply(const std::uint8_t* message, std::size_t size)
{
    if (size < 3 || size > 16 || message[size - 1] != 0xFF) return false;
    for (std::size_t i = 0; i + 1 < size; ++i) {
        if (message[i] == 0xFF) return false;
    }
    return message[0] == 0x88 || (message[0] >= 0x90 && (message[0] & 0x0F) == 0);
}

bool IsError(const ViscaDatagram& datagram, ViscaFraming framing)
{
    const std::size_t at = framing == ViscaFraming::Header ? ViscaHeaderSize : 0;
    return datagram.size() > at + 1 && datagram[at] != 0x88 && (datagram[at + 1] & 0xF0) == 0x60;
}

void CheckAnswer(const ViscaDatagram& datagram, const ViscaReplyForm& form)
{
    if (form.framing == ViscaFraming::Bare) {
        FUZZ_CHECK(IsReply(datagram.data(), datagram.size()));
        return;
    }
    FUZZ_CHECK(datagram.size() > ViscaHeaderSize);
    const std::uint32_t type = static_cast<std::uint32_t>(datagram[0] << 8 | datagram[1]);
    FUZZ_CHECK(static_cast<std::size_t>(datagram[2] << 8 | datagram[3]) == datagram.size() - ViscaHeaderSize);
    FUZZ_CHECK(ReadU32(datagram.data() + 4) == form.sequence);
    if (type == ViscaControlReplyType) {
        FUZZ_CHECK(datagram.size() == ViscaHeaderSize + 1 && datagram[8] == ViscaControlReset);
    } else {
        FUZZ_CHECK(type == ViscaReplyType);
        FUZZ_CHECK(IsReply(datagram.data() + ViscaHeaderSize, datagram.size() - ViscaHeaderSize));
    }
}

// What each sender's last header-framed message was, for the at-most-once check.
struct LastMessage {
    std::uint32_t sequence = 0;
    std::vector<std::uint8_t> payload;
    std::uint64_t ticket = 0;
    bool mayActAgain = false;  // it was answered busy
};

struct Queued {
    ViscaDecision decision;
    ViscaOutcome outcome;
    ViscaZoomReading zoom;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ViscaReceiver receiver(DefaultViscaMapping());
    HeldKeys held;
    std::optional<LastMessage> last[4];
    std::deque<Queued> queue;

    const auto finish = [&](const Queued& queued) {
        const ViscaDecision& decision = queued.decision;
        const std::vector<ViscaDatagram> answer = receiver.Finish(decision, queued.outcome, queued.zoom);
        FUZZ_CHECK(!answer.empty());
        for (const ViscaDatagram& datagram : answer) CheckAnswer(datagram, decision.form);
        const int port = decision.sender.port;
        if (queued.outcome == ViscaOutcome::Busy && last[port] && last[port]->ticket == decision.ticket) {
            last[port]->mayActAgain = true;
        }
        if (queued.outcome == ViscaOutcome::Busy || decision.work != ViscaWork::Keys) return;
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
        for (const ViscaDatagram& answer : decision.sendNow) {
            CheckAnswer(answer, decision.form);
            FUZZ_CHECK(decision.work == ViscaWork::None || !IsError(answer, decision.form.framing));
        }
        if (decision.work != ViscaWork::None) {
            FUZZ_CHECK(decision.sendNow.empty() && !decision.onFailed.empty() && !decision.onBusy.empty());
            for (const auto* answers : {&decision.onDone, &decision.onFailed, &decision.onBusy}) {
                for (const ViscaDatagram& answer : *answers) CheckAnswer(answer, decision.form);
            }
            FUZZ_CHECK(decision.work == ViscaWork::ZoomQuery ||
                       !IsError(decision.onDone.front(), decision.form.framing));
        }

        // At most once: the header-framed message repeating the sender's last one acts on nothing.
        const std::uint16_t type =
            length >= ViscaHeaderSize ? static_cast<std::uint16_t>(datagram[0] << 8 | datagram[1]) : 0;
        auto& previous = last[control & 3];
        if (type == ViscaCommandType || type == ViscaInquiryType || type == ViscaDeviceSettingType) {
            const std::uint32_t sequence = ReadU32(datagram + 4);
            const std::vector<std::uint8_t> payload(datagram + ViscaHeaderSize, datagram + length);
            const bool repeat = previous && previous->sequence == sequence && previous->payload == payload;
            if (repeat && !previous->mayActAgain) {
                FUZZ_CHECK(decision.work == ViscaWork::None);
            } else {
                previous = LastMessage{sequence, payload, decision.ticket, false};
            }
        } else if (type == ViscaControlType && length == ViscaHeaderSize + 1 && datagram[3] == 1 &&
                   datagram[2] == 0 && datagram[8] == ViscaControlReset) {
            previous.reset();
        }

        if (decision.work != ViscaWork::None) {
            const auto outcome = static_cast<ViscaOutcome>((control >> 2) % 3);
            const ViscaZoomReading zoom{static_cast<std::int32_t>(control * 0x01010101u), -7,
                                        control & 0x80 ? 1 : 40};
            queue.push_back({decision, outcome, zoom});
        }
        if (!(control & 0x10)) {
            for (; !queue.empty(); queue.pop_front()) finish(queue.front());
        }
    }
    for (; !queue.empty(); queue.pop_front()) finish(queue.front());
    return 0;
}

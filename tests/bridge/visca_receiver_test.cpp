#include <gtest/gtest.h>

#include <cstdint>

#include "tools/bridge/visca_receiver.h"

namespace velmora::bridge {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Datagrams = std::vector<ViscaDatagram>;

// A VISCA-over-IP header (payload length from length when given) and the payload.
Bytes Header(std::uint16_t type, std::uint32_t sequence, const Bytes& payload, int length = -1)
{
    const std::uint64_t size = length < 0 ? payload.size() : static_cast<std::uint64_t>(length);
    const std::uint64_t fields = std::uint64_t{type} << 48 | size << 32 | sequence;
    Bytes bytes;
    for (int shift = 56; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(fields >> shift));
    for (std::uint8_t byte : payload) bytes.push_back(byte);
    return bytes;
}

ViscaDecision Receive(ViscaReceiver& receiver, const Bytes& datagram, std::uint16_t port = 5000)
{
    return receiver.Receive({*ParseNetAddress("127.0.0.1"), port}, datagram.data(), datagram.size());
}

const Bytes kZoomTele{0x81, 0x01, 0x04, 0x07, 0x02, 0xFF};
const Bytes kZoomStop{0x81, 0x01, 0x04, 0x07, 0x00, 0xFF};

// What each datagram is answered at once, or on success of its work, in the framing it came in.
TEST(ViscaReceiver, AnswersEveryFramingInItsOwnForm)
{
    const struct {
        Bytes datagram;
        ViscaWork work;
        Datagrams answer;  // sendNow, or onDone when there is work
    } cases[] = {
        {Header(0x0100, 0x01020304, kZoomTele),
         ViscaWork::Keys,
         {Header(0x0111, 0x01020304, {0x90, 0x41, 0xFF}), Header(0x0111, 0x01020304, {0x90, 0x51, 0xFF})}},
        {{0x82, 0x01, 0x04, 0x07, 0x37, 0xFF}, ViscaWork::Keys, {{0xA0, 0x41, 0xFF}, {0xA0, 0x51, 0xFF}}},
        // Malformed: a length field that disagrees, no terminator, FF inside, 17 bytes, no command.
        {Header(0x0100, 7, kZoomTele, 5), ViscaWork::None, {Header(0x0111, 7, {0x90, 0x60, 0x02, 0xFF})}},
        {{0x81, 0x01, 0x04, 0x07, 0x02}, ViscaWork::None, {{0x90, 0x60, 0x02, 0xFF}}},
        {{0x81, 0x01, 0xFF, 0x07, 0x02, 0xFF}, ViscaWork::None, {{0x90, 0x60, 0x02, 0xFF}}},
        {{0x81, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0xFF},
         ViscaWork::None,
         {{0x90, 0x60, 0x02, 0xFF}}},
        {{0x83, 0x01, 0x04, 0x00, 0x02, 0xFF}, ViscaWork::None, {{0xB0, 0x60, 0x02, 0xFF}}},
        {{0x81, 0x01, 0x04, 0x3F, 0x02, 0x05, 0xFF},
         ViscaWork::None,
         {{0x90, 0x60, 0x02, 0xFF}}},  // unmapped
        // Replies and stray bytes are not answered.
        {Header(0x0111, 1, {0x90, 0x41, 0xFF}), ViscaWork::None, {}},
        {{0x90, 0x41, 0xFF}, ViscaWork::None, {}},
        {Header(0x0200, 0xDEADBEEF, {0x01}), ViscaWork::None, {Header(0x0201, 0xDEADBEEF, {0x01})}},
        {Header(0x0110, 3, {0x81, 0x09, 0x04, 0x00, 0xFF}),
         ViscaWork::None,
         {Header(0x0111, 3, {0x90, 0x50, 0x02, 0xFF})}},
        {{0x81, 0x09, 0x00, 0x02, 0xFF},
         ViscaWork::None,
         {{0x90, 0x50, 0x56, 0x45, 0x00, 0x01, 0x01, 0x01, 0x01, 0xFF}}},
        {{0x88, 0x30, 0x01, 0xFF}, ViscaWork::None, {{0x88, 0x30, 0x02, 0xFF}}},
        {{0x88, 0x01, 0x00, 0x01, 0xFF}, ViscaWork::None, {{0x88, 0x01, 0x00, 0x01, 0xFF}}},
        {{0x81, 0x01, 0x00, 0x01, 0xFF}, ViscaWork::None, {{0x90, 0x50, 0xFF}}},
        {{0x81, 0x09, 0x04, 0x47, 0xFF}, ViscaWork::ZoomQuery, {}},
    };
    for (const auto& c : cases) {
        ViscaReceiver receiver(DefaultViscaMapping());
        const ViscaDecision decision = Receive(receiver, c.datagram);
        SCOPED_TRACE(std::string(decision.what));
        EXPECT_EQ(decision.work, c.work);
        EXPECT_EQ(c.work == ViscaWork::None ? decision.sendNow : decision.onDone, c.answer);
        EXPECT_TRUE(c.work == ViscaWork::None || decision.sendNow.empty());
    }
}

// A controller resends a datagram whose answer it missed: the answer comes again, the keys move once.
TEST(ViscaReceiver, ARetransmissionIsAnsweredAgainButActedOnOnce)
{
    ViscaReceiver receiver(DefaultViscaMapping());
    const Bytes tele = Header(0x0100, 5, kZoomTele);
    const ViscaDecision first = Receive(receiver, tele);
    ASSERT_EQ(first.work, ViscaWork::Keys);
    const ViscaDecision early = Receive(receiver, tele);  // while the press is still queued
    EXPECT_EQ(early.work, ViscaWork::None);
    EXPECT_TRUE(early.sendNow.empty());
    const Datagrams answers = receiver.Finish(first, ViscaOutcome::Done);
    ASSERT_EQ(answers.size(), 4u);  // ACK and Completion, for each of the two datagrams
    EXPECT_EQ(Datagrams(answers.begin() + 2, answers.end()), first.onDone);
    const ViscaDecision late = Receive(receiver, tele);
    EXPECT_EQ(late.work, ViscaWork::None);
    EXPECT_EQ(late.sendNow, first.onDone);
    EXPECT_EQ(Receive(receiver, tele, 5001).work, ViscaWork::Keys);  // another sender

    // The same sequence number with another message (controllers that always send 0) is new.
    EXPECT_EQ(Receive(receiver, Header(0x0100, 5, kZoomStop)).work, ViscaWork::Keys);
    // After a RESET, and after a busy answer, the same datagram is acted on again.
    Receive(receiver, Header(0x0200, 0, {0x01}));
    const ViscaDecision afterReset = Receive(receiver, Header(0x0100, 5, kZoomStop));
    ASSERT_EQ(afterReset.work, ViscaWork::Keys);
    EXPECT_EQ(receiver.Finish(afterReset, ViscaOutcome::Busy), afterReset.onBusy);
    EXPECT_EQ(afterReset.onBusy, Datagrams{Header(0x0111, 5, {0x90, 0x60, 0x03, 0xFF})});
    EXPECT_EQ(Receive(receiver, Header(0x0100, 5, kZoomStop)).work, ViscaWork::Keys);
    // Bare messages carry no sequence number: each one is acted on.
    EXPECT_EQ(Receive(receiver, kZoomTele).work, ViscaWork::Keys);
    EXPECT_EQ(Receive(receiver, kZoomTele).work, ViscaWork::Keys);
}

// The keypad holds one key: a new direction lets go of the held key first, a repeated one sends
// nothing, a zoom stop leaves a focus key alone, a click and a stop end every hold.
TEST(ViscaReceiver, KeepsOneKeyHeldAsTheWindowDoes)
{
    ViscaReceiver receiver(DefaultViscaMapping());
    HeldKeys held;
    const auto run = [&](const Bytes& message) {
        const ViscaDecision decision = Receive(receiver, message);
        EXPECT_EQ(decision.work, ViscaWork::Keys) << decision.what;
        const std::vector<int> slots = ViscaStepSlots(decision.step, held);
        for (int slot : slots) held.Sent(slot);
        return slots;
    };
    const auto drive = [](std::uint8_t pan, std::uint8_t tilt, std::uint8_t panSpeed,
                          std::uint8_t tiltSpeed) {
        return Bytes{0x81, 0x01, 0x06, 0x01, panSpeed, tiltSpeed, pan, tilt, 0xFF};
    };
    // Slots: zoom-in 4/5, focus-in 6/7, zoom-out 12/13, lock1 18/19.
    EXPECT_EQ(run(drive(3, 1, 5, 5)), (std::vector<int>{4}));     // up
    EXPECT_EQ(run(drive(3, 1, 9, 9)), (std::vector<int>{}));      // up, faster
    EXPECT_EQ(run(drive(1, 1, 5, 3)), (std::vector<int>{5, 6}));  // up-left, panning faster: left
    EXPECT_EQ(run(kZoomStop), (std::vector<int>{}));
    EXPECT_EQ(run(drive(2, 2, 4, 4)), (std::vector<int>{7, 12}));  // down-right, a tie: down
    EXPECT_EQ(run(drive(2, 2, 1, 2)), (std::vector<int>{}));       // down-right, tilting faster: down
    EXPECT_EQ(run({0x81, 0x01, 0x04, 0x3F, 0x02, 0x02, 0xFF}), (std::vector<int>{13, 18, 19}));
    EXPECT_EQ(run(drive(1, 3, 1, 1)), (std::vector<int>{6}));  // left
    EXPECT_EQ(run(drive(3, 3, 1, 1)), (std::vector<int>{7}));  // stop
    EXPECT_TRUE(held.Empty());
}

TEST(ViscaReceiver, ScalesTheZoomOntoVisca0To4000)
{
    EXPECT_EQ(ScaleViscaZoom(100, 100, 500), 0x0000);
    EXPECT_EQ(ScaleViscaZoom(500, 100, 500), 0x4000);
    EXPECT_EQ(ScaleViscaZoom(1, 0, 3), 0x1555);        // 5461.33, rounded
    EXPECT_EQ(ScaleViscaZoom(2, 0, 3), 0x2AAB);        // 10922.67, rounded
    EXPECT_EQ(ScaleViscaZoom(501, 100, 500), 0x4000);  // clamped
    EXPECT_EQ(ScaleViscaZoom(500, 500, 100), 0x0000);  // a range the wrong way round
    EXPECT_EQ(ScaleViscaZoom(200, 500, 100), 0x3000);
    EXPECT_EQ(ScaleViscaZoom(7, 7, 7), 0x0000);
    EXPECT_EQ(ScaleViscaZoom(INT32_MAX, INT32_MIN, INT32_MAX), 0x4000);
    EXPECT_EQ(ScaleViscaZoom(0, INT32_MIN, INT32_MAX), 0x2000);

    ViscaReceiver receiver(DefaultViscaMapping());
    const ViscaDecision inquiry = Receive(receiver, Header(0x0110, 9, {0x81, 0x09, 0x04, 0x47, 0xFF}));
    EXPECT_EQ(receiver.Finish(inquiry, ViscaOutcome::Done, {300, 100, 500}),
              Datagrams{Header(0x0111, 9, {0x90, 0x50, 0x02, 0x00, 0x00, 0x00, 0xFF})});
    const ViscaDecision noZoom = Receive(receiver, {0x81, 0x09, 0x04, 0x47, 0xFF});
    EXPECT_EQ(receiver.Finish(noZoom, ViscaOutcome::Failed), (Datagrams{{0x90, 0x61, 0x41, 0xFF}}));
}

}  // namespace
}  // namespace velmora::bridge

// What the bridge does with each VISCA datagram, as plain data: the work for the camera (a key step or
// the zoom query), the answers once it ran, and each sender's retransmission state.
//
// For every datagram from an allowed sender: Receive it; send sendNow at once; when there is work,
// queue it for the camera (queue full: Finish with Busy at once; no camera: with Failed), and when it
// has run, Finish with its outcome and send what Finish returns, in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "tools/bridge/visca_allow.h"
#include "tools/bridge/visca_framing.h"
#include "tools/bridge/visca_mapping.h"

namespace velmora::bridge {

struct ViscaSender {
    NetAddress address;
    std::uint16_t port = 0;

    bool operator<(const ViscaSender& other) const
    {
        return address != other.address ? address < other.address : port < other.port;
    }
};

enum class ViscaWork {
    None,
    Keys,       // run step (ViscaStepSlots) on the camera's keypad
    ZoomQuery,  // read the camera's zoom: value, minimum, maximum
};

struct ViscaDecision {
    std::string_view what;  // for the log: "zoom-tele", "zoom position inquiry", "retransmission", ...
    std::vector<ViscaDatagram> sendNow;
    ViscaWork work = ViscaWork::None;
    ViscaKeyStep step;  // Keys
    // The answers once the work ran (work != None): it ran (for the zoom query Finish builds the
    // answer), it failed (no camera, a transfer failed, no zoom control), or it was not queued.
    std::vector<ViscaDatagram> onDone;
    std::vector<ViscaDatagram> onFailed;
    std::vector<ViscaDatagram> onBusy;

    // For Finish.
    ViscaSender sender;
    ViscaReplyForm form;
    std::uint8_t address = 1;
    std::uint64_t ticket = 0;  // header framing: this datagram's place in its sender's state
};

enum class ViscaOutcome { Done, Failed, Busy };

// The camera's zoom, as ReadCameraZoom reports it.
struct ViscaZoomReading {
    std::int32_t value = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
};

class ViscaReceiver {
public:
    // maxSenders bounds the senders whose last datagram is remembered; the longest silent one is forgotten.
    explicit ViscaReceiver(ViscaMapping mapping, std::size_t maxSenders = 1024);

    ViscaDecision Receive(const ViscaSender& sender, const std::uint8_t* data, std::size_t size);

    // The datagrams answering decision, once its work ran with outcome (zoom: what the camera read).
    // A retransmission of the same datagram that arrived meanwhile is answered here too, so the answer
    // may come more than once.
    std::vector<ViscaDatagram> Finish(const ViscaDecision& decision, ViscaOutcome outcome,
                                      const ViscaZoomReading& zoom = {});

private:
    // A sender's last header-framed message: a datagram repeating its sequence number and message is
    // a retransmission, answered again but not acted on.
    struct SenderState {
        bool tracked = false;  // false after a RESET or a busy answer: the next datagram is new
        std::uint32_t sequence = 0;
        std::vector<std::uint8_t> message;  // its first bytes
        std::size_t messageSize = 0;
        std::uint64_t ticket = 0;
        bool pending = false;  // its work has not finished: retransmissions wait for the answer
        int owed = 0;          // retransmissions received while pending
        std::vector<ViscaDatagram> answer;
        std::uint64_t lastUse = 0;
    };

    SenderState& StateOf(const ViscaSender& sender);
    void Decide(const ViscaFrame& frame, ViscaDecision& decision) const;

    ViscaMapping m_mapping;
    std::size_t m_maxSenders;
    std::map<ViscaSender, SenderState> m_senders;
    std::uint64_t m_clock = 0;
};

}  // namespace velmora::bridge

#include "tools/bridge/visca_receiver.h"

#include <algorithm>
#include <utility>

namespace velmora::bridge {

namespace {

// What a sender's state keeps of a message to recognise its retransmission: every well-formed message
// whole; a longer payload only begins there (it is malformed and never acted on).
constexpr std::size_t KeptMessageBytes = 17;

bool SameMessage(const std::vector<std::uint8_t>& kept, std::size_t keptSize, const ViscaFrame& frame)
{
    return keptSize == frame.payloadSize && std::equal(kept.begin(), kept.end(), frame.payload);
}

}  // namespace

ViscaReceiver::ViscaReceiver(ViscaMapping mapping, std::size_t maxSenders)
    : m_mapping(std::move(mapping)), m_maxSenders(std::max<std::size_t>(maxSenders, 1))
{
}

ViscaReceiver::SenderState& ViscaReceiver::StateOf(const ViscaSender& sender)
{
    auto found = m_senders.find(sender);
    if (found == m_senders.end()) {
        if (m_senders.size() >= m_maxSenders) {
            m_senders.erase(std::min_element(
                m_senders.begin(), m_senders.end(),
                [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; }));
        }
        found = m_senders.emplace(sender, SenderState{}).first;
    }
    found->second.lastUse = ++m_clock;
    return found->second;
}

ViscaDecision ViscaReceiver::Receive(const ViscaSender& sender, const std::uint8_t* data, std::size_t size)
{
    ViscaDecision decision;
    decision.sender = sender;
    const ViscaFrame frame = DecodeViscaFrame(data, size);
    decision.form = {frame.framing, frame.sequence};
    if (frame.kind == ViscaFrame::Kind::Ignored) {
        decision.what = "not a VISCA request";
        return decision;
    }
    if (frame.kind == ViscaFrame::Kind::Control) {
        if (frame.lengthMatches && frame.payloadSize == 1 && frame.payload[0] == ViscaControlReset) {
            StateOf(sender).tracked = false;
            decision.what = "reset";
            decision.sendNow.push_back(ViscaResetReply(frame.sequence));
        } else {
            decision.what = "unknown control message";
        }
        return decision;
    }
    if (frame.framing == ViscaFraming::Bare) {
        Decide(frame, decision);
        return decision;
    }

    SenderState& state = StateOf(sender);
    if (state.tracked && state.sequence == frame.sequence &&
        SameMessage(state.message, state.messageSize, frame)) {
        decision.what = "retransmission";
        if (state.pending) {
            ++state.owed;
        } else {
            decision.sendNow = state.answer;
        }
        return decision;
    }
    Decide(frame, decision);
    decision.ticket = ++m_clock;
    state.tracked = true;
    state.sequence = frame.sequence;
    state.message.assign(frame.payload, frame.payload + std::min(frame.payloadSize, KeptMessageBytes));
    state.messageSize = frame.payloadSize;
    state.ticket = decision.ticket;
    state.pending = decision.work != ViscaWork::None;
    state.owed = 0;
    state.answer = decision.sendNow;
    return decision;
}

void ViscaReceiver::Decide(const ViscaFrame& frame, ViscaDecision& decision) const
{
    ViscaMessage message = ClassifyViscaMessage(frame.payload, frame.payloadSize);
    if (!frame.lengthMatches) message.type = ViscaMessage::Type::Malformed;
    decision.address = message.address;
    const auto framed = [&decision](const ViscaBytes& reply) {
        return FrameViscaReply(decision.form, reply);
    };
    const std::uint8_t address = message.address;
    switch (message.type) {
        case ViscaMessage::Type::Malformed:
            decision.what = "malformed message";
            decision.sendNow = {framed(ViscaSyntaxError(address))};
            return;
        case ViscaMessage::Type::Unknown:
            decision.what = "unknown message";
            decision.sendNow = {framed(ViscaSyntaxError(address))};
            return;
        case ViscaMessage::Type::Command:
            if (const ViscaKeyStep* step = m_mapping.Find(message.command, message.number)) {
                decision.what = ViscaCommandName(message.command);
                decision.work = ViscaWork::Keys;
                decision.step = *step;
                decision.onDone = {framed(ViscaAck(address)), framed(ViscaCompletion(address))};
                break;
            }
            decision.what = "unmapped command";
            decision.sendNow = {framed(ViscaSyntaxError(address))};
            return;
        case ViscaMessage::Type::ZoomPositionInquiry:
            decision.what = "zoom position inquiry";
            decision.work = ViscaWork::ZoomQuery;
            break;
        case ViscaMessage::Type::PowerInquiry:
            decision.what = "power inquiry";
            decision.sendNow = {framed(ViscaPowerOn(address))};
            return;
        case ViscaMessage::Type::VersionInquiry:
            decision.what = "version inquiry";
            decision.sendNow = {framed(ViscaVersion(address))};
            return;
        case ViscaMessage::Type::AddressSet:
            decision.what = "address set";
            decision.sendNow = {framed(ViscaAddressSetReply(message.number))};
            return;
        case ViscaMessage::Type::IfClear:
            decision.what = "IF_Clear";
            decision.sendNow = {framed(ViscaIfClearDone(address))};
            return;
        case ViscaMessage::Type::IfClearBroadcast:
            decision.what = "IF_Clear";
            decision.sendNow = {framed(ViscaIfClearBroadcastReply())};
            return;
    }
    decision.onFailed = {framed(ViscaNotExecutable(address))};
    decision.onBusy = {framed(ViscaBufferFull(address))};
}

std::vector<ViscaDatagram> ViscaReceiver::Finish(const ViscaDecision& decision, ViscaOutcome outcome,
                                                 const ViscaZoomReading& zoom)
{
    std::vector<ViscaDatagram> answer;
    if (outcome == ViscaOutcome::Busy) {
        answer = decision.onBusy;
    } else if (outcome == ViscaOutcome::Failed) {
        answer = decision.onFailed;
    } else if (decision.work == ViscaWork::ZoomQuery) {
        const std::uint16_t position = ScaleViscaZoom(zoom.value, zoom.minimum, zoom.maximum);
        answer = {FrameViscaReply(decision.form, ViscaZoomPosition(decision.address, position))};
    } else {
        answer = decision.onDone;
    }

    int times = 1;
    const auto found = decision.ticket != 0 ? m_senders.find(decision.sender) : m_senders.end();
    if (found != m_senders.end() && found->second.ticket == decision.ticket && found->second.pending) {
        SenderState& state = found->second;
        times += state.owed;
        state.owed = 0;
        state.pending = false;
        // Not acted on when busy: a retransmission may still be.
        if (outcome == ViscaOutcome::Busy) state.tracked = false;
        state.answer = answer;
    }
    std::vector<ViscaDatagram> datagrams;
    for (int i = 0; i < times; ++i) datagrams.insert(datagrams.end(), answer.begin(), answer.end());
    return datagrams;
}

}  // namespace velmora::bridge

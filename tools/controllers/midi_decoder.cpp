#include "tools/controllers/midi_decoder.h"

namespace velmora::controllers {

namespace {

// Data bytes of a channel message by its status byte's high nibble.
int DataBytes(std::uint8_t status)
{
    const int type = status & 0xF0;
    return type == 0xC0 || type == 0xD0 ? 1 : 2;
}

}  // namespace

std::string MidiMessageText(const MidiMessage& message)
{
    const std::string channel = " channel " + std::to_string(message.channel + 1);
    const std::string number = std::to_string(message.number);
    const std::string value = std::to_string(message.value);
    switch (message.kind) {
        case MidiMessage::Kind::NoteOff:
            return "note-off " + number + " velocity " + value + channel;
        case MidiMessage::Kind::NoteOn:
            return "note-on " + number + " velocity " + value + channel;
        case MidiMessage::Kind::ControlChange:
            return "control-change " + number + " value " + value + channel;
        case MidiMessage::Kind::ProgramChange:
            return "program-change " + number + channel;
    }
    return {};
}

std::optional<MidiMessage> MidiDecoder::Push(std::uint8_t byte)
{
    if (byte >= 0xF8) return std::nullopt;  // real-time: anywhere, changes nothing
    if (byte >= 0x80) {
        m_count = 0;
        // A channel message's status byte starts a running status; SysEx and the system common
        // messages end it, so that their data bytes (and any after them) are dropped.
        m_status = byte < 0xF0 ? byte : 0;
        return std::nullopt;
    }
    if (m_status == 0) return std::nullopt;
    if (m_count == 0 && DataBytes(m_status) == 2) {
        m_first = byte;
        m_count = 1;
        return std::nullopt;
    }
    m_count = 0;
    MidiMessage message;
    message.channel = m_status & 0x0F;
    switch (m_status & 0xF0) {
        case 0x80:
            message.kind = MidiMessage::Kind::NoteOff;
            break;
        case 0x90:
            message.kind = byte == 0 ? MidiMessage::Kind::NoteOff : MidiMessage::Kind::NoteOn;
            break;
        case 0xB0:
            message.kind = MidiMessage::Kind::ControlChange;
            break;
        case 0xC0:
            message.kind = MidiMessage::Kind::ProgramChange;
            message.number = byte;
            return message;
        default:  // aftertouch, channel pressure, pitch bend
            return std::nullopt;
    }
    message.number = m_first;
    message.value = byte;
    return message;
}

}  // namespace velmora::controllers

#include "tools/bridge/midi_front.h"

namespace velmora::bridge {

using controllers::MidiEvent;
using controllers::MidiSource;

MidiFront::MidiFront(boost::asio::io_context& loop, BridgeCore& core, const controllers::MidiMapping& mapping,
                     bool quiet)
    : m_front(core, quiet), m_mapper(mapping), m_wait(loop)
{
}

MidiSource::OpenResult MidiFront::Start(std::unique_ptr<MidiSource> source, const std::string& text,
                                        std::string& error)
{
    m_source = std::move(source);
    const MidiSource::OpenResult opened = m_source->Open(
        text, [this](const MidiEvent& event) { Take(event); }, error);
    if (opened != MidiSource::OpenResult::Opened) return opened;
    m_front.SetClient("midi " + m_source->Port().id);
    if (!m_wait.Start(
            m_source->EventHandle(), [this] { m_source->DispatchPending(); }, error)) {
        error = "MIDI port " + PortLabel() + " cannot be waited on: " + error;
        return MidiSource::OpenResult::Unavailable;
    }
    return MidiSource::OpenResult::Opened;
}

void MidiFront::Stop()
{
    m_stopped = true;
    m_wait.Stop();
}

std::string MidiFront::PortLabel() const
{
    return m_source ? controllers::MidiPortLabel(m_source->Port()) : std::string();
}

void MidiFront::Take(const MidiEvent& event)
{
    if (m_stopped) return;
    if (event.kind == MidiEvent::Kind::Gone) {
        std::vector<controllers::ControllerAction> owed;
        m_mapper.ReleaseAll(owed);
        m_front.Gone();
        ControllerNote(m_front.Client(),
                       "gone (" + event.detail + "); what it held is released, MIDI is read no more");
        Stop();
        return;
    }
    std::vector<controllers::ControllerAction> actions;
    m_mapper.Take(event.message, actions);
    m_front.Act(actions);
}

}  // namespace velmora::bridge

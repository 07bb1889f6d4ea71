// MidiSource on Linux: a port of ALSA's sequencer, as `aconnect -l` lists it. Its events are turned
// back into MIDI bytes for MidiDecoder, the one place that says what a message means.
#include <alsa/asoundlib.h>
#include <poll.h>

#include <cerrno>
#include <cstring>

#include "tools/controllers/midi_source.h"

namespace velmora::controllers {

namespace {

std::string AlsaError(int code)
{
    return snd_strerror(code);
}

// alsa-lib writes its own lines to standard error unless told otherwise; the errors come back as codes.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

class AlsaMidiSource : public MidiSource {
public:
    AlsaMidiSource() = default;
    ~AlsaMidiSource() override
    {
        if (m_encoder) snd_midi_event_free(m_encoder);
        if (m_sequencer) snd_seq_close(m_sequencer);
    }
    AlsaMidiSource(const AlsaMidiSource&) = delete;
    AlsaMidiSource& operator=(const AlsaMidiSource&) = delete;

    std::vector<MidiPort> Ports(std::string& error) override
    {
        std::vector<MidiPort> ports;
        if (!Connect(error)) return ports;
        m_addresses.clear();
        snd_seq_client_info_t* client = nullptr;
        snd_seq_port_info_t* port = nullptr;
        snd_seq_client_info_alloca(&client);
        snd_seq_port_info_alloca(&port);
        snd_seq_client_info_set_client(client, -1);
        while (snd_seq_query_next_client(m_sequencer, client) >= 0) {
            const int number = snd_seq_client_info_get_client(client);
            if (number == SND_SEQ_CLIENT_SYSTEM || number == snd_seq_client_id(m_sequencer)) continue;
            snd_seq_port_info_set_client(port, number);
            snd_seq_port_info_set_port(port, -1);
            while (snd_seq_query_next_port(m_sequencer, port) >= 0) {
                const unsigned wanted = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
                const unsigned capability = snd_seq_port_info_get_capability(port);
                if ((capability & wanted) != wanted || (capability & SND_SEQ_PORT_CAP_NO_EXPORT) != 0)
                    continue;
                const int portNumber = snd_seq_port_info_get_port(port);
                ports.push_back({std::to_string(number) + ":" + std::to_string(portNumber),
                                 snd_seq_client_info_get_name(client), snd_seq_port_info_get_name(port)});
                m_addresses.push_back(
                    {static_cast<unsigned char>(number), static_cast<unsigned char>(portNumber)});
            }
        }
        return ports;
    }

    OpenResult Open(std::string_view text, Sink sink, std::string& error) override
    {
        const std::vector<MidiPort> ports = Ports(error);
        if (!m_sequencer) {
            // Without a sequencer there is no port at all.
            error = "no MIDI port '" + std::string(text) + "': " + error;
            return OpenResult::NoSuchPort;
        }
        const auto found = FindMidiPort(ports, text, error);
        if (!found) return OpenResult::NoSuchPort;
        m_port = ports[*found];
        m_source = m_addresses[*found];
        m_sink = std::move(sink);
        const int own = snd_seq_create_simple_port(
            m_sequencer, "input", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (own < 0) {
            error = "cannot make a sequencer port: " + AlsaError(own);
            return OpenResult::Unavailable;
        }
        // The system's announcements tell when the port goes or is disconnected.
        const int announce =
            snd_seq_connect_from(m_sequencer, own, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
        const int connected = snd_seq_connect_from(m_sequencer, own, m_source.client, m_source.port);
        if (connected < 0) {
            error = "MIDI port " + MidiPortLabel(m_port) + " cannot be connected to: " + AlsaError(connected);
            return OpenResult::Unavailable;
        }
        if (announce < 0) {
            error = "the sequencer's announcements cannot be followed: " + AlsaError(announce);
            return OpenResult::Unavailable;
        }
        m_own = own;
        if (snd_midi_event_new(256, &m_encoder) < 0) {
            error = "out of memory";
            return OpenResult::Unavailable;
        }
        snd_midi_event_no_status(m_encoder, 1);
        return OpenResult::Opened;
    }

    const MidiPort& Port() const override { return m_port; }

    WaitHandle EventHandle() const override { return m_descriptor; }

    void DispatchPending() override
    {
        if (!m_sequencer || m_own < 0) return;
        for (;;) {
            snd_seq_event_t* event = nullptr;
            const int result = snd_seq_event_input(m_sequencer, &event);
            if (result == -EAGAIN || result == -EINTR) return;
            if (result == -ENOSPC) continue;  // the input queue overran; what was read goes on
            if (result < 0 || !event) return;
            Take(*event);
        }
    }

private:
    bool Connect(std::string& error)
    {
        if (m_sequencer) return true;
        snd_lib_error_set_handler(&Quiet);
        const int opened = snd_seq_open(&m_sequencer, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK);
        if (opened < 0) {
            m_sequencer = nullptr;
            error = "the ALSA sequencer cannot be opened (" + AlsaError(opened) +
                    "; the kernel's snd-seq module gives /dev/snd/seq)";
            return false;
        }
        snd_seq_set_client_name(m_sequencer, "velmoractl");
        pollfd descriptor{};
        if (snd_seq_poll_descriptors(m_sequencer, &descriptor, 1, POLLIN) == 1) m_descriptor = descriptor.fd;
        return true;
    }

    bool FromSource(const snd_seq_addr_t& address) const
    {
        return address.client == m_source.client && address.port == m_source.port;
    }

    void Take(const snd_seq_event_t& event)
    {
        if (m_gone) return;
        if (event.source.client == SND_SEQ_CLIENT_SYSTEM) {
            std::string detail;
            if (event.type == SND_SEQ_EVENT_PORT_EXIT && FromSource(event.data.addr)) {
                detail = "the port went away";
            } else if (event.type == SND_SEQ_EVENT_CLIENT_EXIT && event.data.addr.client == m_source.client) {
                detail = "its client went away";
            } else if (event.type == SND_SEQ_EVENT_PORT_UNSUBSCRIBED &&
                       FromSource(event.data.connect.sender) &&
                       event.data.connect.dest.client == snd_seq_client_id(m_sequencer) &&
                       event.data.connect.dest.port == m_own) {
                detail = "it was disconnected";
            }
            if (detail.empty()) return;
            m_gone = true;
            MidiEvent gone;
            gone.kind = MidiEvent::Kind::Gone;
            gone.detail = detail;
            m_sink(gone);
            return;
        }
        // Only MIDI from the port chosen (another program may connect itself to ours), SysEx left out.
        if (!FromSource(event.source) || event.type == SND_SEQ_EVENT_SYSEX) return;
        unsigned char bytes[16];
        const long count = snd_midi_event_decode(m_encoder, bytes, sizeof bytes, &event);
        for (long i = 0; i < count; ++i) {
            if (const auto message = m_decoder.Push(bytes[i])) {
                MidiEvent midi;
                midi.message = *message;
                m_sink(midi);
            }
        }
    }

    snd_seq_t* m_sequencer = nullptr;
    snd_midi_event_t* m_encoder = nullptr;
    int m_descriptor = -1;
    int m_own = -1;
    std::vector<snd_seq_addr_t> m_addresses;  // beside the last Ports
    snd_seq_addr_t m_source{};
    MidiPort m_port;
    Sink m_sink;
    MidiDecoder m_decoder;
    bool m_gone = false;
};

}  // namespace

std::unique_ptr<MidiSource> CreateMidiSource(std::string&)
{
    return std::make_unique<AlsaMidiSource>();
}

}  // namespace velmora::controllers

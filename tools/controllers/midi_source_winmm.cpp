// MidiSource on Windows: a WinMM MIDI input device. WinMM calls back on a thread of its own; the
// bytes wait in a queue until DispatchPending decodes them on the front end's thread.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// clang-format off
#include <mmsystem.h>
// clang-format on

#include <mutex>

#include "tools/controllers/midi_source.h"

namespace velmora::controllers {

namespace {

std::string Utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

std::string MmError(MMRESULT result)
{
    wchar_t text[MAXERRORLENGTH] = {};
    if (midiInGetErrorTextW(result, text, MAXERRORLENGTH) != MMSYSERR_NOERROR)
        return "error " + std::to_string(result);
    return Utf8(text);
}

// The bytes of a short message WinMM packs into one number, by its status byte.
int ShortMessageLength(std::uint8_t status)
{
    if (status < 0x80) return 0;
    if (status < 0xF0) return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 2 : 3;
    if (status == 0xF2) return 3;
    if (status == 0xF1 || status == 0xF3) return 2;
    return 1;
}

class WinmmMidiSource : public MidiSource {
public:
    WinmmMidiSource() : m_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~WinmmMidiSource() override
    {
        if (m_input) {
            midiInStop(m_input);
            midiInReset(m_input);
            midiInClose(m_input);
        }
        if (m_event) CloseHandle(m_event);
    }
    WinmmMidiSource(const WinmmMidiSource&) = delete;
    WinmmMidiSource& operator=(const WinmmMidiSource&) = delete;

    std::vector<MidiPort> Ports(std::string&) override
    {
        std::vector<MidiPort> ports;
        const UINT count = midiInGetNumDevs();
        for (UINT i = 0; i < count; ++i) {
            MIDIINCAPSW caps{};
            if (midiInGetDevCapsW(i, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
            ports.push_back({std::to_string(i), {}, Utf8(caps.szPname)});
        }
        return ports;
    }

    OpenResult Open(std::string_view text, Sink sink, std::string& error) override
    {
        const std::vector<MidiPort> ports = Ports(error);
        const auto found = FindMidiPort(ports, text, error);
        if (!found) return OpenResult::NoSuchPort;
        m_port = ports[*found];
        m_sink = std::move(sink);
        const UINT device = static_cast<UINT>(std::stoul(m_port.id));
        MMRESULT result =
            midiInOpen(&m_input, device, reinterpret_cast<DWORD_PTR>(&WinmmMidiSource::Callback),
                       reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
        if (result == MMSYSERR_ALLOCATED) {
            m_input = nullptr;
            error = "MIDI port " + MidiPortLabel(m_port) +
                    " is open in another program: Windows lets one program at a time read a MIDI port, so "
                    "close it there first";
            return OpenResult::Unavailable;
        }
        if (result == MMSYSERR_NOERROR) result = midiInStart(m_input);
        if (result != MMSYSERR_NOERROR) {
            error = "MIDI port " + MidiPortLabel(m_port) + " cannot be opened: " + MmError(result);
            return OpenResult::Unavailable;
        }
        return OpenResult::Opened;
    }

    const MidiPort& Port() const override { return m_port; }

    WaitHandle EventHandle() const override { return m_event; }

    void DispatchPending() override
    {
        std::vector<std::uint8_t> bytes;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            bytes.swap(m_bytes);
        }
        for (std::uint8_t byte : bytes) {
            if (const auto message = m_decoder.Push(byte)) {
                MidiEvent event;
                event.message = *message;
                m_sink(event);
            }
        }
    }

private:
    // On WinMM's thread: only the queue and the event are touched here.
    static void CALLBACK Callback(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR packed, DWORD_PTR)
    {
        if (message != MIM_DATA) return;
        auto* self = reinterpret_cast<WinmmMidiSource*>(instance);
        const int length = ShortMessageLength(static_cast<std::uint8_t>(packed & 0xFF));
        {
            const std::lock_guard<std::mutex> lock(self->m_mutex);
            for (int i = 0; i < length; ++i)
                self->m_bytes.push_back(static_cast<std::uint8_t>(packed >> (8 * i)));
        }
        SetEvent(self->m_event);
    }

    HANDLE m_event;
    HMIDIIN m_input = nullptr;
    MidiPort m_port;
    Sink m_sink;
    MidiDecoder m_decoder;
    std::mutex m_mutex;
    std::vector<std::uint8_t> m_bytes;  // from WinMM's thread
};

}  // namespace

std::unique_ptr<MidiSource> CreateMidiSource(std::string&)
{
    return std::make_unique<WinmmMidiSource>();
}

}  // namespace velmora::controllers

// Gamepads and MIDI ports as front ends of the bridge, over a simulated camera, with sources that
// stand in for the adapters behind a pipe the event loop waits on: a controller that goes releases
// at once, and a controller shares the one keypad with every other client.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <boost/asio/executor_work_guard.hpp>
#include <fstream>
#include <future>

#include "tests/bridge/trace_key_writes.h"
#include "tools/bridge/gamepad_front.h"
#include "tools/bridge/midi_front.h"

namespace velmora::bridge {
namespace {

using namespace std::chrono_literals;
using controllers::GamepadEvent;
using controllers::MidiEvent;

// Events handed over as an adapter does: queued, the pipe made readable, dispatched by the loop.
template <typename Source, typename Event>
class Fake : public Source {
public:
    Fake() { EXPECT_EQ(pipe(m_pipe), 0); }
    ~Fake() override
    {
        close(m_pipe[0]);
        close(m_pipe[1]);
    }
    void Send(const Event& event)
    {
        m_events.push_back(event);
        EXPECT_EQ(write(m_pipe[1], "x", 1), 1);
    }
    controllers::WaitHandle EventHandle() const override { return m_pipe[0]; }
    void DispatchPending() override
    {
        char bytes[64];
        EXPECT_GT(read(m_pipe[0], bytes, sizeof bytes), 0);
        const std::vector<Event> events = std::move(m_events);
        m_events.clear();
        for (const Event& event : events) m_sink(event);
    }

protected:
    std::function<void(const Event&)> m_sink;

private:
    int m_pipe[2] = {-1, -1};
    std::vector<Event> m_events;
};

class FakePad : public Fake<controllers::GamepadSource, GamepadEvent> {
public:
    bool Start(const controllers::GamepadChoice&, Sink sink, std::string&) override
    {
        m_sink = std::move(sink);
        m_sink(Event(GamepadEvent::Kind::Connected));
        return true;
    }
    static GamepadEvent Event(GamepadEvent::Kind kind, int stick = 0)
    {
        GamepadEvent event;
        event.kind = kind;
        event.axis = controllers::GamepadAxis::LeftY;
        event.value = stick;
        event.index = 0;
        event.name = "Fake Pad";
        return event;
    }
};

class FakeMidi : public Fake<controllers::MidiSource, MidiEvent> {
public:
    std::vector<controllers::MidiPort> Ports(std::string&) override { return {m_port}; }
    OpenResult Open(std::string_view, Sink sink, std::string&) override
    {
        m_sink = std::move(sink);
        return OpenResult::Opened;
    }
    const controllers::MidiPort& Port() const override { return m_port; }
    static MidiEvent Note(int note, int velocity)
    {
        MidiEvent event;
        event.message = {controllers::MidiMessage::Kind::NoteOn, 0, note, velocity};
        return event;
    }

private:
    controllers::MidiPort m_port{"16:0", "Virtual Raw MIDI 0-0", "VirMIDI 0-0"};
};

class ControllerFrontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string config = m_folder.filePath("sim.conf").toStdString();
        std::ofstream(config) << "[sim]\ntrace = " << Trace() << "\n[camera]\nname = One\n";
        velmoractl::Options options;
        options.backend = "sim";
        options.simConfig = config;
        m_host = std::make_unique<CameraHost>(options);
        m_worker = std::make_unique<CameraWorker>(*m_host, 8);
        std::promise<std::vector<DeviceInfo>> devices;
        m_worker->SubmitOwed([&devices](CameraHost& host) {
            EXPECT_FALSE(host.Open(true).has_value());
            devices.set_value(host.Devices());
        });
        m_core = std::make_unique<BridgeCore>(m_loop, *m_worker, 10s);
        m_core->SetDevices(devices.get_future().get());
        m_subscription = m_core->Subscribe([this](const BridgeEvent& event) { m_events.push_back(event); });
    }

    // Runs the loop until the trace holds count key writes, then 0.2 s more for any that should not come.
    void RunUntilWrites(std::size_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        m_loop.restart();
        const auto busy = boost::asio::make_work_guard(m_loop);
        while (KeyWrites().size() < count && std::chrono::steady_clock::now() < deadline)
            m_loop.run_one_for(10ms);
        EXPECT_EQ(KeyWrites().size(), count) << "timed out";
        m_loop.run_for(200ms);
    }

    std::string Trace() const { return m_folder.filePath("trace").toStdString(); }
    // The data byte of every key write on the trace, in order.
    std::vector<int> KeyWrites() const { return TraceKeyWrites(Trace()); }

    QTemporaryDir m_folder;
    boost::asio::io_context m_loop;
    std::unique_ptr<CameraHost> m_host;
    std::unique_ptr<CameraWorker> m_worker;
    std::unique_ptr<BridgeCore> m_core;
    std::shared_ptr<void> m_subscription;
    std::vector<BridgeEvent> m_events;
};

// A pad pulled and a MIDI port closed with a key down release it at once (the hold limit is 10 s),
// under the controller's name; what a port sends after it went does nothing.
TEST_F(ControllerFrontTest, AControllerThatGoesReleasesAtOnce)
{
    GamepadFront gamepad(m_loop, *m_core, controllers::DefaultGamepadMapping(), true);
    auto owned = std::make_unique<FakePad>();
    FakePad& pad = *owned;
    std::string error;
    ASSERT_EQ(gamepad.Start(std::move(owned), {}, error), GamepadFront::StartResult::Started) << error;
    pad.Send(FakePad::Event(GamepadEvent::Kind::Axis, -30000));
    RunUntilWrites(1);
    EXPECT_EQ(m_events.back().client, "gamepad 0 (Fake Pad)");
    pad.Send(FakePad::Event(GamepadEvent::Kind::Disconnected));
    RunUntilWrites(2);
    EXPECT_EQ(m_events.back().holdEnd, HoldEnd::OwnerGone);

    MidiFront midi(m_loop, *m_core, controllers::DefaultMidiMapping(), true);
    auto ownedPort = std::make_unique<FakeMidi>();
    FakeMidi& port = *ownedPort;
    ASSERT_EQ(midi.Start(std::move(ownedPort), "16:0", error), controllers::MidiSource::OpenResult::Opened);
    port.Send(FakeMidi::Note(62, 100));
    RunUntilWrites(3);
    EXPECT_EQ(m_events.back().client, "midi 16:0");
    MidiEvent gone;
    gone.kind = MidiEvent::Kind::Gone;
    port.Send(gone);
    port.Send(FakeMidi::Note(62, 100));
    RunUntilWrites(4);
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x03, 0x16, 0x03, 0x16}));
    EXPECT_TRUE(m_core->Holds().empty());
}

// A program change mapped to a macro runs serve's macro of that name; the port going while the
// macro holds its key cancels the run and releases at once (the macro would hold it 5 s more).
TEST_F(ControllerFrontTest, AControllerThatGoesCancelsItsMacro)
{
    const controllers::MidiMappingParse parsed = controllers::ParseMidiMapping("program 3 macro hold\n");
    ASSERT_TRUE(parsed.errors.empty());
    MidiFront midi(m_loop, *m_core, parsed.mapping, true);
    Macro hold{"hold", 1, {{MacroStep::Kind::Press, 3, 0, 2}, {MacroStep::Kind::Wait, -1, 5000, 3}}};
    midi.Front().SetMacros(MacroBook{{hold}});
    auto owned = std::make_unique<FakeMidi>();
    FakeMidi& port = *owned;
    std::string error;
    ASSERT_EQ(midi.Start(std::move(owned), "16:0", error), controllers::MidiSource::OpenResult::Opened);
    MidiEvent program;
    program.message = {controllers::MidiMessage::Kind::ProgramChange, 0, 3, 0};
    port.Send(program);
    RunUntilWrites(1);
    ASSERT_EQ(m_core->RunningMacros().size(), 1u);
    MidiEvent gone;
    gone.kind = MidiEvent::Kind::Gone;
    port.Send(gone);
    const auto sent = std::chrono::steady_clock::now();
    RunUntilWrites(2);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 2s);
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x04, 0x16}));
    EXPECT_TRUE(m_core->RunningMacros().empty());
}

// The pad's press first releases a key HTTP holds, and HTTP's press the pad's; the pad letting go of
// a key it no longer holds sends nothing (the release code would let go of HTTP's key).
TEST_F(ControllerFrontTest, APadSharesTheOneKeypad)
{
    GamepadFront gamepad(m_loop, *m_core, controllers::DefaultGamepadMapping(), true);
    auto owned = std::make_unique<FakePad>();
    FakePad& pad = *owned;
    std::string error;
    ASSERT_EQ(gamepad.Start(std::move(owned), {}, error), GamepadFront::StartResult::Started) << error;
    KeyRequest focusIn;
    focusIn.keyIndex = 3;
    focusIn.action = KeyAction::Press;
    m_core->Key(focusIn, [](const KeyOutcome&) {});
    RunUntilWrites(1);
    pad.Send(FakePad::Event(GamepadEvent::Kind::Axis, -30000));
    RunUntilWrites(3);
    m_core->Key(focusIn, [](const KeyOutcome&) {});
    RunUntilWrites(5);
    pad.Send(FakePad::Event(GamepadEvent::Kind::Axis, 0));
    RunUntilWrites(5);
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x04, 0x16, 0x03, 0x16, 0x04}));
    ASSERT_EQ(m_core->Holds().size(), 1u);
    EXPECT_EQ(m_core->Holds()[0].owner, HttpOwner);
}

}  // namespace
}  // namespace velmora::bridge

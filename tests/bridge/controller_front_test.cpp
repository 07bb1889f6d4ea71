// Gamepads and MIDI ports as front ends of the bridge, over a simulated camera, with sources that
// stand in for the adapters behind a pipe the event loop waits on: a controller that goes releases
// at once, and a controller shares the one keypad with every other client.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <boost/asio/executor_work_guard.hpp>
#include <deque>
#include <fstream>
#include <future>

#include "tools/bridge/gamepad_front.h"
#include "tools/bridge/midi_front.h"

namespace velmora::bridge {
namespace {

using namespace std::chrono_literals;
using controllers::GamepadEvent;
using controllers::MidiEvent;
using controllers::MidiMessage;

// Events handed over as an adapter does: queued, the pipe made readable, dispatched by the loop.
template <typename Event>
class FakeQueue {
public:
    FakeQueue() { EXPECT_EQ(pipe(m_pipe), 0); }
    ~FakeQueue()
    {
        close(m_pipe[0]);
        close(m_pipe[1]);
    }
    void Send(const Event& event)
    {
        m_events.push_back(event);
        EXPECT_EQ(write(m_pipe[1], "x", 1), 1);
    }
    void Dispatch(const std::function<void(const Event&)>& sink)
    {
        char byte;
        for (std::size_t i = m_events.size(); i > 0; --i) EXPECT_EQ(read(m_pipe[0], &byte, 1), 1);
        while (!m_events.empty()) {
            const Event event = m_events.front();
            m_events.pop_front();
            sink(event);
        }
    }
    int Handle() const { return m_pipe[0]; }

private:
    int m_pipe[2] = {-1, -1};
    std::deque<Event> m_events;
};

class FakePad : public controllers::GamepadSource {
public:
    bool Start(const controllers::GamepadChoice& choice, Sink sink, std::string& error) override
    {
        if (!choice.any && choice.index > 0) {
            error = "no gamepad " + std::to_string(choice.index) + " (there are 0 Fake Pad)";
            return false;
        }
        m_sink = std::move(sink);
        m_sink(Event(GamepadEvent::Kind::Connected));
        return true;
    }
    controllers::WaitHandle EventHandle() const override { return queue.Handle(); }
    void DispatchPending() override { queue.Dispatch(m_sink); }

    static GamepadEvent Event(GamepadEvent::Kind kind)
    {
        GamepadEvent event;
        event.kind = kind;
        event.index = 0;
        event.name = "Fake Pad";
        return event;
    }
    static GamepadEvent Stick(int value)
    {
        GamepadEvent event = Event(GamepadEvent::Kind::Axis);
        event.axis = controllers::GamepadAxis::LeftY;
        event.value = value;
        return event;
    }

    FakeQueue<GamepadEvent> queue;

private:
    Sink m_sink;
};

class FakeMidi : public controllers::MidiSource {
public:
    std::vector<controllers::MidiPort> Ports(std::string&) override { return {m_port}; }
    OpenResult Open(std::string_view, Sink sink, std::string&) override
    {
        m_sink = std::move(sink);
        return OpenResult::Opened;
    }
    const controllers::MidiPort& Port() const override { return m_port; }
    controllers::WaitHandle EventHandle() const override { return queue.Handle(); }
    void DispatchPending() override { queue.Dispatch(m_sink); }

    static MidiEvent Note(int note, int velocity)
    {
        MidiEvent event;
        event.message.kind = MidiMessage::Kind::NoteOn;
        event.message.number = note;
        event.message.value = velocity;
        event.message.channel = 0;
        return event;
    }

    FakeQueue<MidiEvent> queue;

private:
    controllers::MidiPort m_port{"16:0", "Virtual Raw MIDI 0-0", "VirMIDI 0-0"};
    Sink m_sink;
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

    void RunUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        m_loop.restart();
        const auto busy = boost::asio::make_work_guard(m_loop);
        while (!done() && std::chrono::steady_clock::now() < deadline) m_loop.run_one_for(10ms);
        EXPECT_TRUE(done()) << "timed out";
    }
    void Settle()
    {
        m_loop.restart();
        m_loop.run_for(200ms);
    }

    std::string Trace() const { return m_folder.filePath("trace").toStdString(); }
    // The data byte of every key write on the trace, in order.
    std::vector<int> KeyWrites() const
    {
        std::vector<int> data;
        std::ifstream trace(Trace());
        for (std::string line; std::getline(trace, line);) {
            const auto at = line.find("data=26 16 00 00 00 01 00 00 00 00 ");
            if (line.rfind("SET ", 0) == 0 && at != std::string::npos)
                data.push_back(std::stoi(line.substr(at + 35, 2), nullptr, 16));
        }
        return data;
    }
    std::function<bool()> Writes(std::size_t count)
    {
        return [this, count] { return KeyWrites().size() >= count; };
    }

    QTemporaryDir m_folder;
    boost::asio::io_context m_loop;
    std::unique_ptr<CameraHost> m_host;
    std::unique_ptr<CameraWorker> m_worker;
    std::unique_ptr<BridgeCore> m_core;
    std::shared_ptr<void> m_subscription;
    std::vector<BridgeEvent> m_events;
};

// A pad pulled and a MIDI port closed with a key down release it at once, not at the hold limit,
// under the controller's name; a pad index that is not there is told apart from a failure.
TEST_F(ControllerFrontTest, AControllerThatGoesReleasesAtOnce)
{
    GamepadFront gamepad(m_loop, *m_core, controllers::DefaultGamepadMapping(), true);
    auto pad = std::make_unique<FakePad>();
    FakePad& fake = *pad;
    std::string error;
    EXPECT_EQ(GamepadFront(m_loop, *m_core, controllers::DefaultGamepadMapping(), true)
                  .Start(std::make_unique<FakePad>(), {false, 1}, error),
              GamepadFront::StartResult::NoSuchPad);
    ASSERT_EQ(gamepad.Start(std::move(pad), {}, error), GamepadFront::StartResult::Started) << error;
    fake.queue.Send(FakePad::Stick(-30000));
    RunUntil(Writes(1));
    ASSERT_FALSE(m_events.empty());
    EXPECT_EQ(m_events.back().client, "gamepad 0 (Fake Pad)");
    const auto pulled = std::chrono::steady_clock::now();
    fake.queue.Send(FakePad::Event(GamepadEvent::Kind::Disconnected));
    RunUntil(Writes(2));
    EXPECT_LT(std::chrono::steady_clock::now() - pulled, 2s);
    EXPECT_EQ(m_events.back().holdEnd, HoldEnd::OwnerGone);

    MidiFront midi(m_loop, *m_core, controllers::DefaultMidiMapping(), true);
    auto port = std::make_unique<FakeMidi>();
    FakeMidi& fakeMidi = *port;
    ASSERT_EQ(midi.Start(std::move(port), "16:0", error), controllers::MidiSource::OpenResult::Opened);
    fakeMidi.queue.Send(FakeMidi::Note(62, 100));
    RunUntil(Writes(3));
    EXPECT_EQ(m_events.back().client, "midi 16:0");
    MidiEvent gone;
    gone.kind = MidiEvent::Kind::Gone;
    gone.detail = "the port went away";
    fakeMidi.queue.Send(gone);
    RunUntil(Writes(4));
    // The note's own note off after the port went does nothing.
    fakeMidi.queue.Send(FakeMidi::Note(62, 0));
    Settle();
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x03, 0x16, 0x03, 0x16}));
    EXPECT_TRUE(m_core->Holds().empty());
}

// The pad's press first releases a key HTTP holds, and HTTP's press the pad's; the pad letting go of
// a key it no longer holds sends nothing (the release code would let go of HTTP's key).
TEST_F(ControllerFrontTest, APadSharesTheOneKeypad)
{
    GamepadFront gamepad(m_loop, *m_core, controllers::DefaultGamepadMapping(), true);
    auto pad = std::make_unique<FakePad>();
    FakePad& fake = *pad;
    std::string error;
    ASSERT_EQ(gamepad.Start(std::move(pad), {}, error), GamepadFront::StartResult::Started) << error;
    const auto http = [this](int key, KeyAction action) {
        bool done = false;
        KeyRequest request;
        request.keyIndex = key;
        request.action = action;
        m_core->Key(request, [&done](const KeyOutcome&) { done = true; });
        RunUntil([&done] { return done; });
    };
    http(3, KeyAction::Press);  // focus-in
    fake.queue.Send(FakePad::Stick(-30000));
    RunUntil(Writes(3));
    http(3, KeyAction::Press);
    fake.queue.Send(FakePad::Stick(0));
    Settle();
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x04, 0x16, 0x03, 0x16, 0x04}));
    ASSERT_EQ(m_core->Holds().size(), 1u);
    EXPECT_EQ(m_core->Holds()[0].owner, HttpOwner);
}

}  // namespace
}  // namespace velmora::bridge

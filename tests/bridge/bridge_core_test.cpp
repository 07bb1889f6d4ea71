// The bridge's core on its own loop, over simulated cameras: holds and who ends them, the bounded
// queue, device removal. What reached the camera is read from the simulated cameras' trace.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <fstream>
#include <future>
#include <sstream>

#include "keys/key_table.h"
#include "platform/sim/sim_backend.h"
#include "tests/bridge/trace_key_writes.h"
#include "tools/bridge/bridge_core.h"
#include "tools/commands/key_names.h"

namespace velmora::bridge {
namespace {

using namespace std::chrono_literals;

int KeyOf(const char* name)
{
    return static_cast<int>(velmoractl::FindKeyByName(name) - Keys.data());
}

class BridgeCoreTest : public ::testing::Test {
protected:
    void Open(std::chrono::milliseconds holdLimit, std::size_t capacity = 8)
    {
        const std::string config = m_folder.filePath("sim.conf").toStdString();
        std::ofstream(config) << "[sim]\ntrace = " << TracePath()
                              << "\n[camera]\nname = One\n[camera]\nname = Two\n";
        velmoractl::Options options;
        options.backend = "sim";
        options.simConfig = config;
        m_host = std::make_unique<CameraHost>(options);
        m_worker = std::make_unique<CameraWorker>(*m_host, capacity);
        std::vector<DeviceInfo> devices = OnCamera([](CameraHost& host) {
            EXPECT_FALSE(host.Open(true).has_value());
            return host.Devices();
        });
        ASSERT_EQ(devices.size(), 2u);
        m_core = std::make_unique<BridgeCore>(m_loop, *m_worker, holdLimit);
        m_core->SetDevices(devices);
        m_subscription = m_core->Subscribe([this](const BridgeEvent& event) { m_events.push_back(event); });
    }

    // Runs fn on the camera thread and waits for its result.
    template <typename Fn>
    auto OnCamera(Fn fn) -> decltype(fn(std::declval<CameraHost&>()))
    {
        std::promise<decltype(fn(std::declval<CameraHost&>()))> result;
        m_worker->SubmitOwed([&](CameraHost& host) { result.set_value(fn(host)); });
        return result.get_future().get();
    }

    void RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        m_loop.restart();
        const auto busy = boost::asio::make_work_guard(m_loop);
        while (!done() && std::chrono::steady_clock::now() < deadline) m_loop.run_one_for(10ms);
        EXPECT_TRUE(done()) << "timed out";
    }

    KeyOutcome Key(Owner owner, const char* key, KeyAction action, bool lease = false,
                   std::optional<std::string> device = std::nullopt)
    {
        std::optional<KeyOutcome> outcome;
        KeyRequest request;
        request.device = device;
        request.owner = owner;
        request.keyIndex = KeyOf(key);
        request.action = action;
        request.lease = lease;
        m_core->Key(request, [&outcome](const KeyOutcome& done) { outcome = done; });
        RunUntil([&outcome] { return outcome.has_value(); });
        return outcome.value_or(KeyOutcome{});
    }

    std::string TracePath() const { return m_folder.filePath("trace").toStdString(); }

    // The data byte of every key write on the trace, in order.
    std::vector<int> KeyWrites() const { return TraceKeyWrites(TracePath()); }

    std::size_t Count(BridgeEvent::Kind kind) const
    {
        return static_cast<std::size_t>(std::count_if(
            m_events.begin(), m_events.end(), [kind](const BridgeEvent& e) { return e.kind == kind; }));
    }

    QTemporaryDir m_folder;
    boost::asio::io_context m_loop;
    std::unique_ptr<CameraHost> m_host;
    std::unique_ptr<CameraWorker> m_worker;
    std::unique_ptr<BridgeCore> m_core;
    std::shared_ptr<void> m_subscription;
    std::vector<BridgeEvent> m_events;
};

// One keypad: a press first releases the key held, whoever holds it; a press of the key held sends
// nothing, and the key is then the presser's, its hold limit started afresh; a release of a key not
// held sends nothing (its code would let go of another key). A press left held is released once by
// the hold limit.
TEST_F(BridgeCoreTest, OneKeypadAndTheHoldLimitReleaseEachHoldOnce)
{
    Open(300ms);
    EXPECT_FALSE(Key(1, "zoom-in", KeyAction::Press).failure);
    Key(2, "focus-in", KeyAction::Press);
    Key(1, "zoom-in", KeyAction::Release);
    Key(2, "focus-in", KeyAction::Release);
    Key(1, "zoom-in", KeyAction::Press);
    std::this_thread::sleep_for(200ms);
    const auto renewed = std::chrono::steady_clock::now();
    EXPECT_TRUE(Key(2, "zoom-in", KeyAction::Press).writes.empty());
    ASSERT_EQ(m_core->Holds().size(), 1u);
    EXPECT_EQ(m_core->Holds()[0].owner, Owner{2});
    RunUntil([this] { return Count(BridgeEvent::Kind::HoldReleased) == 1; });
    EXPECT_GE(std::chrono::steady_clock::now() - renewed, 280ms);
    EXPECT_EQ(m_events.back().holdEnd, HoldEnd::Limit);
    EXPECT_EQ(m_events.back().key->writes.at(0).status, StatusOk);
    m_loop.restart();
    m_loop.run_for(500ms);
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x03, 0x16, 0x04, 0x16, 0x03, 0x16}));
    EXPECT_TRUE(m_core->Holds().empty());
}

// A leased hold lasts while its owner renews it, and ends a lease time after the last renewal;
// nobody else can renew it, and a lease ended cannot be renewed.
TEST_F(BridgeCoreTest, ALeasedHoldEndsWhenItsRenewalsStop)
{
    Open(10s);
    Key(1, "zoom-in", KeyAction::Press, true);
    EXPECT_FALSE(m_core->RenewLease(2, KeyOf("zoom-in")));
    EXPECT_FALSE(m_core->RenewLease(1, KeyOf("focus-in")));
    for (int i = 0; i < 3; ++i) {
        m_loop.restart();
        m_loop.run_for(LeaseTime / 2);
        EXPECT_TRUE(m_core->RenewLease(1, KeyOf("zoom-in")));
    }
    EXPECT_EQ(Count(BridgeEvent::Kind::HoldReleased), 0u);
    const auto renewed = std::chrono::steady_clock::now();
    RunUntil([this] { return Count(BridgeEvent::Kind::HoldReleased) == 1; });
    EXPECT_GE(std::chrono::steady_clock::now() - renewed, LeaseTime - 20ms);
    EXPECT_EQ(m_events.back().holdEnd, HoldEnd::LeaseExpired);
    EXPECT_TRUE(m_events.back().held.empty());
    EXPECT_FALSE(m_core->RenewLease(1, KeyOf("zoom-in")));
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x03, 0x16}));
}

// A client going away releases its own keys, not another's (on another camera); stopping releases
// the rest and then refuses requests.
TEST_F(BridgeCoreTest, AnOwnerGoingReleasesItsKeysAndStoppingReleasesAll)
{
    Open(10s);
    Key(1, "lock1", KeyAction::Press);
    Key(2, "zoom-out", KeyAction::Press, false, "1");
    m_core->OwnerGone(1);
    RunUntil([this] { return Count(BridgeEvent::Kind::HoldReleased) == 1; });
    EXPECT_EQ(m_events.back().holdEnd, HoldEnd::OwnerGone);
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x10, 0x07, 0x16}));
    bool stopped = false;
    m_core->Stop([&stopped](std::size_t released) { stopped = released == 1; });
    RunUntil([&stopped] { return stopped; });
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x10, 0x07, 0x16, 0x16}));
    EXPECT_EQ(Key(3, "menu", KeyAction::Click).failure->kind, FailureKind::Stopping);
}

// A plan sees the keys held when its turn on the camera comes, not when it was asked: queued right
// behind a press, a release of whatever is held lets go of that key, once; the hold limit then finds
// nothing left to release.
TEST_F(BridgeCoreTest, APlanSeesTheKeysHeldWhenItsTurnComes)
{
    Open(300ms);
    std::promise<void> unblock;
    m_worker->SubmitOwed([blocked = unblock.get_future().share()](CameraHost&) { blocked.wait(); });
    std::vector<KeyOutcome> outcomes;
    KeyRequest press;
    press.owner = 1;
    press.keyIndex = KeyOf("zoom-in");
    press.action = KeyAction::Press;
    KeyRequest stop;
    stop.owner = 2;
    stop.keyIndex = -1;
    stop.action = KeyAction::Release;
    stop.plan = [](const HeldKeys& held) {
        std::vector<int> releases;
        for (const int key : held.KeyIndices()) releases.push_back(2 * key + 1);
        return releases;
    };
    for (const KeyRequest& request : {press, stop})
        m_core->Key(request, [&outcomes](const KeyOutcome& outcome) { outcomes.push_back(outcome); });
    unblock.set_value();
    RunUntil([&outcomes] { return outcomes.size() == 2; });
    ASSERT_EQ(outcomes[1].writes.size(), 1u);
    EXPECT_EQ(outcomes[1].keyIndex, KeyOf("zoom-in"));
    m_loop.restart();
    m_loop.run_for(500ms);
    EXPECT_EQ(Count(BridgeEvent::Kind::HoldReleased), 0u);
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x03, 0x16}));
    EXPECT_TRUE(m_core->Holds().empty());
}

// A full queue answers busy at once and drops nothing it took: what it took runs in arrival order.
TEST_F(BridgeCoreTest, AFullQueueAnswersBusyAndRunsWhatItTookInOrder)
{
    Open(10s, 3);
    std::promise<void> unblock;
    std::shared_future<void> blocked = unblock.get_future().share();
    m_worker->SubmitOwed([blocked](CameraHost&) { blocked.wait(); });
    std::vector<KeyOutcome> outcomes;
    for (const char* key : {"live", "normal", "menu", "ae"}) {
        KeyRequest request;
        request.keyIndex = KeyOf(key);
        m_core->Key(request, [&outcomes](const KeyOutcome& outcome) { outcomes.push_back(outcome); });
    }
    RunUntil([&outcomes] { return outcomes.size() == 1; });
    EXPECT_EQ(outcomes[0].failure->kind, FailureKind::Busy);
    EXPECT_EQ(outcomes[0].keyIndex, KeyOf("ae"));
    unblock.set_value();
    RunUntil([&outcomes] { return outcomes.size() == 4; });
    EXPECT_EQ(KeyWrites(), (std::vector<int>{0x01, 0x02, 0x05}));
}

// A pulled camera's holds are dropped and said so: nothing can reach it, and the hold limit sends
// nothing later; requests for it answer device-gone, the other camera is still served.
TEST_F(BridgeCoreTest, APulledCamerasHoldsAreDroppedAndItsRequestsAnswerGone)
{
    Open(200ms);
    const KeyOutcome pressed = Key(1, "zoom-in", KeyAction::Press);
    OnCamera([](CameraHost& host) {
        auto& backend = dynamic_cast<sim::SimBackend&>(host.Backend());
        return backend.Unplug(backend.Cameras().front());
    });
    bool changed = false;
    m_core->DevicesChanged([&changed] { changed = true; });
    RunUntil([&changed] { return changed; });
    ASSERT_EQ(Count(BridgeEvent::Kind::Removal), 1u);
    EXPECT_EQ(m_events.back().device.id, pressed.device.id);
    EXPECT_EQ(m_events.back().droppedHolds, std::vector<int>{KeyOf("zoom-in")});
    m_loop.restart();
    m_loop.run_for(400ms);
    EXPECT_EQ(Count(BridgeEvent::Kind::HoldReleased), 0u);
    EXPECT_EQ(KeyWrites(), std::vector<int>{0x03});

    KeyRequest request;
    request.device = pressed.device.id;
    std::optional<KeyOutcome> gone;
    m_core->Key(request, [&gone](const KeyOutcome& outcome) { gone = outcome; });
    RunUntil([&gone] { return gone.has_value(); });
    EXPECT_EQ(gone->failure->kind, FailureKind::DeviceGone);
    EXPECT_EQ(Key(1, "menu", KeyAction::Click).device.label.rfind("Two", 0), 0u);
}

}  // namespace
}  // namespace velmora::bridge

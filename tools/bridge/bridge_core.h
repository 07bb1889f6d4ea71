// The bridge on its event loop: every front end (HTTP, WebSocket, VISCA) asks it for a key action or
// a query on a device and gets the outcome asynchronously, on the loop. It runs the camera's bounded
// FIFO queue, ends holds (the hold limit, an owner going, stopping), follows the device list and
// publishes what happens to subscribers. The held keys themselves are the camera thread's, where
// the keys are sent; the core sees them as each outcome reports them.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "keys/held_keys.h"
#include "tools/bridge/bridge_types.h"
#include "tools/bridge/camera_worker.h"
#include "tools/bridge/lease_table.h"

namespace velmora::bridge {

class BridgeCore {
public:
    BridgeCore(boost::asio::io_context& loop, CameraWorker& worker, std::chrono::milliseconds holdLimit);
    BridgeCore(const BridgeCore&) = delete;
    BridgeCore& operator=(const BridgeCore&) = delete;

    // The devices as the camera thread first listed them.
    void SetDevices(std::vector<DeviceInfo> devices) { m_devices = std::move(devices); }
    const std::vector<DeviceInfo>& Devices() const { return m_devices; }
    std::chrono::milliseconds HoldLimit() const { return m_holdLimit; }
    // The device requests without a device go to: the one first served, while it is listed, else
    // (unless --device pinned it) the first device.
    void SetServed(std::optional<std::string> id, bool pinned);
    std::optional<std::string> ServedId() const;

    // A new client that holds keys of its own (a WebSocket, a VISCA sender); owner 0 is HTTP's.
    Owner NewOwner() { return ++m_lastOwner; }
    // The client is gone: the keys it holds are released.
    void OwnerGone(Owner owner);

    // Each outcome arrives on the loop, never before the call returns. A press of a key with a
    // release starts a hold that a release (any owner's), the hold limit, the owner going or the
    // bridge stopping ends; with request.lease, also the owner not renewing it within LeaseTime.
    void Key(KeyRequest request, std::function<void(const KeyOutcome&)> done);
    // Renews the owner's lease on a key it holds: false when it has none.
    bool RenewLease(Owner owner, int keyIndex);
    void ReadStatus(std::optional<std::string> device, std::function<void(const StatusOutcome&)> done);
    void ReadZoom(std::optional<std::string> device, std::function<void(const ZoomOutcome&)> done);

    // Runs a macro (a nudge: one without a name) on the camera, one at a time per camera: it
    // cancels the one running there, as a key pressed there by anyone cancels it. Its steps go to
    // the camera ahead of what waits in the queue, each when it is due; done gets what it sent and
    // how it ended, once it has, and its events are published as it goes.
    void RunMacro(MacroRequest request, std::function<void(const MacroOutcome&)> done);
    // Cancels the macros running on the device (an id, an index or a path; none: on every device),
    // client asking; how many it cancelled.
    std::size_t CancelMacros(const std::optional<std::string>& device, const std::string& client);
    std::vector<RunningMacro> RunningMacros() const;

    // The holds as the last outcomes reported them.
    struct Hold {
        std::string deviceId;
        int keyIndex = 0;
        Owner owner = HttpOwner;
    };
    std::vector<Hold> Holds() const;
    // Who holds which key on the device, by client name.
    std::vector<HeldBy> HoldsOn(const std::string& deviceId) const;

    // Events reach the subscriber for as long as the returned token lives.
    using Subscriber = std::function<void(const BridgeEvent&)>;
    std::shared_ptr<void> Subscribe(Subscriber subscriber);

    // Something may have been plugged or pulled: the camera thread takes the changes in and lists
    // the devices again; arrivals and removals are published, a removed device's holds dropped.
    // done runs on the loop afterwards.
    void DevicesChanged(std::function<void()> done);

    // Refuses what comes later, releases every key held once what was queued before has run, and
    // calls done with the number of keys released once the camera thread has finished all it was
    // given.
    void Stop(std::function<void(std::size_t released)> done);
    bool Stopping() const { return m_stopping; }

private:
    // Posts fn's result on the camera thread back to the loop as then(result).
    template <typename Result>
    bool Submit(bool owed, std::function<Result(CameraHost&)> fn, std::function<void(Result)> then);
    // A query (status, zoom) on the camera thread, or its refusal when busy or stopping.
    template <typename Outcome>
    void Query(std::function<Outcome(CameraHost&)> fn, std::function<void(const Outcome&)> done);
    // Takes in the held keys an outcome reports, with their hold limits.
    void Apply(const KeyOutcome& outcome);
    void ArmLimit(const std::string& deviceId, int keyIndex);
    void ArmLeases();
    // Releases the held keys which takes on the camera thread, publishes each release, and calls
    // done with their number.
    void ReleaseHeld(HoldFilter which, HoldEnd end, std::function<void(std::size_t)> done = {});
    void ApplyDevices(std::vector<DeviceInfo> devices);
    // A macro run (bridge_macros.cpp): its next step, and its end (end none: finished).
    struct Run;
    template <typename Result>
    void Urgent(std::function<Result(CameraHost&)> fn, std::function<void(Result)> then);
    // due: the time the step's wait ends, when its timer fired ahead of it.
    void Step(Owner run, std::optional<std::chrono::steady_clock::time_point> due = std::nullopt);
    void EndRun(Owner run, std::optional<MacroEnd> end, std::string by = {},
                std::optional<BridgeFailure> failure = std::nullopt, const KeyOutcome* released = nullptr);
    // Ends the runs a starter tied to itself (cancelOnGone), or every run.
    void EndRunsOf(std::optional<Owner> starter, MacroEnd end);
    void PublishMacro(BridgeEvent::Kind kind, const Run& run, const KeyOutcome* key = nullptr, int step = -1);
    void Publish(const BridgeEvent& event);

    boost::asio::io_context& m_loop;
    CameraWorker& m_worker;
    std::chrono::milliseconds m_holdLimit;
    std::vector<DeviceInfo> m_devices;
    std::map<std::string, HeldKeys> m_held;  // by device id, as the camera thread last reported
    struct Limit {
        std::unique_ptr<boost::asio::steady_timer> timer;
        unsigned generation = 0;  // a wait that completed as it was re-armed is stale
    };
    std::map<std::pair<std::string, int>, Limit> m_limits;  // by device id and key index
    LeaseTable m_leases;
    boost::asio::steady_timer m_leaseTimer;
    std::map<Owner, std::string> m_clients;  // the name each owner last pressed under
    std::optional<std::string> m_servedId;
    bool m_servedPinned = false;
    std::vector<std::weak_ptr<Subscriber>> m_subscribers;
    Owner m_lastOwner = HttpOwner;
    std::map<Owner, std::shared_ptr<Run>> m_runs;
    std::size_t m_releasedAtStop = 0;  // by the macros stopping cancelled
    bool m_stopping = false;
    bool m_wakePosted = false;
};

}  // namespace velmora::bridge

#include "tools/bridge/bridge_core.h"

#include <algorithm>
#include <boost/asio/post.hpp>

namespace velmora::bridge {

namespace {

BridgeFailure Refusal(FailureKind kind)
{
    if (kind == FailureKind::Busy)
        return BridgeFailure{kind, "busy", "the camera is busy: too many requests wait for it", std::nullopt};
    return BridgeFailure{kind, "stopping", "the bridge is stopping", std::nullopt};
}

}  // namespace

BridgeCore::BridgeCore(boost::asio::io_context& loop, CameraWorker& worker,
                       std::chrono::milliseconds holdLimit)
    : m_loop(loop), m_worker(worker), m_holdLimit(holdLimit), m_leaseTimer(loop)
{
    m_worker.AnswerThrough(
        [&loop](std::function<void()> answer) { boost::asio::post(loop, std::move(answer)); });
}

template <typename Result>
bool BridgeCore::Submit(bool owed, std::function<Result(CameraHost&)> fn, std::function<void(Result)> then)
{
    // On the camera thread the job reaches the worker only: the core is the loop's, and may be gone
    // by the time the worker finishes what it was given.
    CameraWorker::Job job = [&worker = m_worker, fn = std::move(fn),
                             then = std::move(then)](CameraHost& host) {
        worker.Answer([then, result = fn(host)]() mutable { then(std::move(result)); });
    };
    const bool queued =
        owed ? (m_worker.SubmitOwed(std::move(job), false), true) : m_worker.Submit(std::move(job), false);
    // One wake of the camera thread for all that this turn of the loop queues.
    if (queued && !m_wakePosted) {
        m_wakePosted = true;
        boost::asio::post(m_loop, [this] {
            m_wakePosted = false;
            m_worker.Wake();
        });
    }
    return queued;
}

void BridgeCore::Key(KeyRequest request, std::function<void(const KeyOutcome&)> done)
{
    const auto refuse = [this, &request, &done](FailureKind kind) {
        KeyOutcome outcome;
        outcome.keyIndex = request.keyIndex;
        outcome.action = request.action;
        outcome.failure = Refusal(kind);
        boost::asio::post(m_loop, [done = std::move(done), outcome] { done(outcome); });
    };
    if (m_stopping) return refuse(FailureKind::Stopping);
    const std::string client = request.client;
    const Owner owner = request.owner;
    const bool lease = request.lease && request.action == KeyAction::Press;
    const bool anyDevice = !request.device;
    const bool queued = Submit<KeyOutcome>(
        false, [request](CameraHost& host) { return host.RunKey(request); },
        [this, client, owner, lease, anyDevice, done](KeyOutcome outcome) {
            if (!outcome.device.id.empty() && anyDevice) m_servedId = outcome.device.id;
            if (outcome.held.HolderOf(outcome.keyIndex) == owner) m_clients[owner] = client;
            if (lease && !m_stopping && outcome.held.HolderOf(outcome.keyIndex) == owner) {
                m_leases.Grant(outcome.device.id, outcome.keyIndex, owner, std::chrono::steady_clock::now());
            }
            Apply(outcome);
            if (outcome.cancelledRun) EndRun(*outcome.cancelledRun, MacroEnd::KeyPressed, client);
            if (!outcome.writes.empty() || outcome.renewed) {
                BridgeEvent event;
                event.kind = BridgeEvent::Kind::KeySent;
                event.device = outcome.device;
                event.client = client;
                event.key = outcome;
                event.held = HoldsOn(outcome.device.id);
                Publish(event);
            }
            done(outcome);
        });
    if (!queued) refuse(FailureKind::Busy);
}

template <typename Outcome>
void BridgeCore::Query(std::function<Outcome(CameraHost&)> fn, std::function<void(const Outcome&)> done)
{
    if (!m_stopping && Submit<Outcome>(false, std::move(fn), [done](Outcome outcome) { done(outcome); }))
        return;
    Outcome outcome;
    outcome.failure = Refusal(m_stopping ? FailureKind::Stopping : FailureKind::Busy);
    boost::asio::post(m_loop, [done = std::move(done), outcome] { done(outcome); });
}

void BridgeCore::ReadStatus(std::optional<std::string> device, std::function<void(const StatusOutcome&)> done)
{
    Query<StatusOutcome>([device](CameraHost& host) { return host.ReadStatus(device); }, std::move(done));
}

void BridgeCore::ReadZoom(std::optional<std::string> device, std::function<void(const ZoomOutcome&)> done)
{
    Query<ZoomOutcome>([device](CameraHost& host) { return host.ReadZoom(device); }, std::move(done));
}

void BridgeCore::Apply(const KeyOutcome& outcome)
{
    if (outcome.device.id.empty()) return;
    const std::string& id = outcome.device.id;
    m_leases.Keep(id, outcome.held);
    ArmLeases();
    const auto found = m_held.find(id);
    if (found != m_held.end()) {
        for (const int key : found->second.KeyIndices()) {
            if (!outcome.held.Holds(key)) m_limits.erase({id, key});
        }
    }
    if (outcome.held.Empty()) {
        if (found != m_held.end()) m_held.erase(found);
        return;
    }
    m_held[id] = outcome.held;
    if (m_stopping) return;
    // A press starts its key's time again; a key held without a limit (its release failed) gets one.
    for (const int key : outcome.held.KeyIndices()) {
        const bool pressed = std::any_of(
            outcome.writes.begin(), outcome.writes.end(),
            [key](const KeyWrite& w) { return w.keyIndex == key && w.press && w.status == StatusOk; });
        const bool renewed = outcome.renewed && outcome.keyIndex == key;
        if (pressed || renewed || !m_limits.count({id, key})) ArmLimit(id, key);
    }
}

void BridgeCore::ArmLimit(const std::string& deviceId, int keyIndex)
{
    Limit& limit = m_limits[{deviceId, keyIndex}];
    if (!limit.timer) limit.timer = std::make_unique<boost::asio::steady_timer>(m_loop);
    const unsigned generation = ++limit.generation;
    limit.timer->expires_after(m_holdLimit);
    limit.timer->async_wait([this, deviceId, keyIndex, generation](const boost::system::error_code& error) {
        const auto armed = m_limits.find({deviceId, keyIndex});
        if (error || armed == m_limits.end() || armed->second.generation != generation) return;
        m_limits.erase(armed);
        ReleaseHeld([deviceId, keyIndex](const std::string& id, int key,
                                         Owner) { return id == deviceId && key == keyIndex; },
                    HoldEnd::Limit);
    });
}

bool BridgeCore::RenewLease(Owner owner, int keyIndex)
{
    if (m_stopping || !m_leases.Renew(owner, keyIndex, std::chrono::steady_clock::now())) return false;
    ArmLeases();
    return true;
}

// One timer for the lease that ends first.
void BridgeCore::ArmLeases()
{
    const std::optional<LeaseTable::TimePoint> next = m_leases.NextDeadline();
    if (!next) {
        m_leaseTimer.cancel();
        return;
    }
    m_leaseTimer.expires_at(*next);
    m_leaseTimer.async_wait([this](const boost::system::error_code& error) {
        if (error) return;
        for (const LeaseTable::Lease& lease : m_leases.TakeExpired(std::chrono::steady_clock::now())) {
            ReleaseHeld(
                [lease](const std::string& id, int key, Owner holder) {
                    return id == lease.deviceId && key == lease.keyIndex && holder == lease.owner;
                },
                HoldEnd::LeaseExpired);
        }
        ArmLeases();
    });
}

void BridgeCore::ReleaseHeld(HoldFilter which, HoldEnd end, std::function<void(std::size_t)> done)
{
    Submit<std::vector<KeyOutcome>>(
        true, [which = std::move(which)](CameraHost& host) { return host.ReleaseHeld(which); },
        [this, end, done = std::move(done)](std::vector<KeyOutcome> outcomes) {
            std::size_t released = 0;
            for (KeyOutcome& outcome : outcomes) {
                Apply(outcome);
                if (outcome.writes.empty()) continue;
                released += static_cast<std::size_t>(
                    std::count_if(outcome.writes.begin(), outcome.writes.end(),
                                  [](const KeyWrite& write) { return write.status == StatusOk; }));
                BridgeEvent event;
                event.kind = BridgeEvent::Kind::HoldReleased;
                event.device = outcome.device;
                event.client = std::string(HoldEndName(end));
                event.holdEnd = end;
                event.held = HoldsOn(outcome.device.id);
                event.key = std::move(outcome);
                Publish(event);
            }
            if (done) done(released);
        });
}

void BridgeCore::OwnerGone(Owner owner)
{
    m_clients.erase(owner);
    EndRunsOf(owner, MacroEnd::ClientGone);
    ReleaseHeld([owner](const std::string&, int, Owner holder) { return holder == owner; },
                HoldEnd::OwnerGone);
}

std::vector<BridgeCore::Hold> BridgeCore::Holds() const
{
    std::vector<Hold> holds;
    for (const auto& [id, held] : m_held) {
        for (const int key : held.KeyIndices()) holds.push_back(Hold{id, key, *held.HolderOf(key)});
    }
    return holds;
}

std::vector<HeldBy> BridgeCore::HoldsOn(const std::string& deviceId) const
{
    std::vector<HeldBy> holds;
    const auto found = m_held.find(deviceId);
    if (found == m_held.end()) return holds;
    for (const int key : found->second.KeyIndices()) {
        const auto client = m_clients.find(*found->second.HolderOf(key));
        holds.push_back(HeldBy{deviceId, key, client == m_clients.end() ? std::string() : client->second});
    }
    return holds;
}

void BridgeCore::SetServed(std::optional<std::string> id, bool pinned)
{
    m_servedId = std::move(id);
    m_servedPinned = pinned;
}

std::optional<std::string> BridgeCore::ServedId() const
{
    const auto listed = [this](const std::string& id) {
        return std::any_of(m_devices.begin(), m_devices.end(),
                           [&id](const DeviceInfo& d) { return d.id == id; });
    };
    if (m_servedId && listed(*m_servedId)) return m_servedId;
    if (m_servedPinned || m_devices.empty()) return std::nullopt;
    return m_devices.front().id;
}

std::shared_ptr<void> BridgeCore::Subscribe(Subscriber subscriber)
{
    auto token = std::make_shared<Subscriber>(std::move(subscriber));
    m_subscribers.push_back(token);
    return token;
}

void BridgeCore::Publish(const BridgeEvent& event)
{
    const std::vector<std::weak_ptr<Subscriber>> current = m_subscribers;
    for (const std::weak_ptr<Subscriber>& weak : current) {
        if (const std::shared_ptr<Subscriber> subscriber = weak.lock()) (*subscriber)(event);
    }
    m_subscribers.erase(std::remove_if(m_subscribers.begin(), m_subscribers.end(),
                                       [](const std::weak_ptr<Subscriber>& s) { return s.expired(); }),
                        m_subscribers.end());
}

void BridgeCore::DevicesChanged(std::function<void()> done)
{
    Submit<std::vector<DeviceInfo>>(
        true,
        [](CameraHost& host) {
            host.Refresh();
            return host.Devices();
        },
        [this, done](std::vector<DeviceInfo> devices) {
            ApplyDevices(std::move(devices));
            if (done) done();
        });
}

void BridgeCore::ApplyDevices(std::vector<DeviceInfo> devices)
{
    const auto listed = [](const std::vector<DeviceInfo>& list, const std::string& id) {
        return std::any_of(list.begin(), list.end(), [&id](const DeviceInfo& d) { return d.id == id; });
    };
    for (const DeviceInfo& old : m_devices) {
        if (listed(devices, old.id)) continue;
        BridgeEvent event;
        event.kind = BridgeEvent::Kind::Removal;
        event.device = old;
        // Nothing can reach a pulled camera: its holds are dropped, and said so.
        if (const auto held = m_held.find(old.id); held != m_held.end()) {
            event.droppedHolds = held->second.KeyIndices();
            m_leases.Keep(old.id, HeldKeys());
            for (const int key : event.droppedHolds) m_limits.erase({old.id, key});
            m_held.erase(held);
        }
        Publish(event);
    }
    for (const DeviceInfo& now : devices) {
        if (listed(m_devices, now.id)) continue;
        BridgeEvent event;
        event.kind = BridgeEvent::Kind::Arrival;
        event.device = now;
        Publish(event);
    }
    m_devices = std::move(devices);
}

void BridgeCore::Stop(std::function<void(std::size_t)> done)
{
    m_stopping = true;
    EndRunsOf(std::nullopt, MacroEnd::Stopping);
    m_limits.clear();
    m_leases = LeaseTable();
    m_leaseTimer.cancel();
    auto released = std::make_shared<std::size_t>(0);
    ReleaseHeld([](const std::string&, int, Owner) { return true; }, HoldEnd::Stopping,
                [released](std::size_t count) { *released = count; });
    m_worker.SubmitOwed([this, &worker = m_worker, done, released](CameraHost&) {
        worker.Answer([this, done, released] { done(*released + m_releasedAtStop); });
    });
}

}  // namespace velmora::bridge

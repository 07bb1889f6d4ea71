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
    : m_loop(loop), m_worker(worker), m_holdLimit(holdLimit)
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
    HeldOnDevices ownerHolds;
    if (request.exclusive) {
        for (const auto& [id, held] : m_held) {
            for (const int key : held.KeyIndices()) {
                if (held.HolderOf(key) == request.owner) ownerHolds.emplace_back(id, key);
            }
        }
    }
    const Owner owner = request.owner;
    const std::string client = request.client;
    const bool queued = Submit<KeyOutcome>(
        false, [request, ownerHolds](CameraHost& host) { return host.RunKey(request, ownerHolds); },
        [this, owner, client, done](KeyOutcome outcome) {
            Apply(outcome, owner);
            if (!outcome.writes.empty()) {
                BridgeEvent event;
                event.kind = BridgeEvent::Kind::KeySent;
                event.device = outcome.device;
                event.client = client;
                event.key = outcome;
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

void BridgeCore::Apply(const KeyOutcome& outcome, Owner owner)
{
    if (outcome.device.id.empty()) return;
    HeldKeys& keys = m_held[outcome.device.id];
    for (const KeyWrite& write : outcome.writes) {
        // A release that failed leaves the hold to the limit, which tries once more.
        if (!write.writes || write.status != StatusOk) continue;
        keys.Sent(2 * write.keyIndex + (write.press ? 0 : 1), owner);
        if (keys.Holds(write.keyIndex)) {
            ArmLimit(outcome.device.id, write.keyIndex);
        } else {
            m_limits.erase({outcome.device.id, write.keyIndex});
        }
    }
    if (keys.Empty()) m_held.erase(outcome.device.id);
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
        const auto held = m_held.find(deviceId);
        if (held == m_held.end()) return;
        const std::optional<Owner> owner = held->second.HolderOf(keyIndex);
        if (!owner) return;
        held->second.Sent(2 * keyIndex + 1);
        if (held->second.Empty()) m_held.erase(held);
        SendOwedRelease(deviceId, keyIndex, *owner, HoldEnd::Limit);
    });
}

void BridgeCore::SendOwedRelease(const std::string& deviceId, int keyIndex, Owner owner, HoldEnd end)
{
    m_limits.erase({deviceId, keyIndex});
    KeyRequest request;
    request.owner = owner;
    request.client = std::string(HoldEndName(end));
    request.device = deviceId;
    request.keyIndex = keyIndex;
    request.action = KeyAction::Release;
    Submit<KeyOutcome>(
        true, [request](CameraHost& host) { return host.RunKey(request, {}); },
        [this, owner, end, client = request.client](KeyOutcome outcome) {
            Apply(outcome, owner);
            BridgeEvent event;
            event.kind = BridgeEvent::Kind::HoldReleased;
            event.device = outcome.device;
            event.client = client;
            event.holdEnd = end;
            event.key = std::move(outcome);
            Publish(event);
        });
}

void BridgeCore::OwnerGone(Owner owner)
{
    std::vector<std::pair<std::string, int>> owed;
    for (auto held = m_held.begin(); held != m_held.end();) {
        for (const int slot : held->second.TakeReleases(owner)) owed.emplace_back(held->first, slot / 2);
        held = held->second.Empty() ? m_held.erase(held) : std::next(held);
    }
    for (const auto& [id, key] : owed) SendOwedRelease(id, key, owner, HoldEnd::OwnerGone);
}

std::vector<BridgeCore::Hold> BridgeCore::Holds() const
{
    std::vector<Hold> holds;
    for (const auto& [id, held] : m_held) {
        for (const int key : held.KeyIndices()) holds.push_back(Hold{id, key, *held.HolderOf(key)});
    }
    return holds;
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

void BridgeCore::Stop(std::function<void()> done)
{
    m_stopping = true;
    std::vector<std::pair<std::string, int>> owed;
    for (auto& [id, held] : m_held) {
        for (const int slot : held.TakeReleases()) owed.emplace_back(id, slot / 2);
    }
    m_held.clear();
    for (const auto& [id, key] : owed) SendOwedRelease(id, key, HttpOwner, HoldEnd::Stopping);
    m_worker.SubmitOwed([&worker = m_worker, done](CameraHost&) { worker.Answer(done); });
}

}  // namespace velmora::bridge

// The bridge's macro runs: MacroRunner on the event loop, one timer a run, each step sent ahead of
// the camera's queue (one due after a wait a little early, written at its time by the camera thread). The
// camera thread knows which run a device's keypad belongs to (CameraHost::StartMacro), so a key pressed there
// cancels the run before the press goes out.
#include <algorithm>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cctype>
#include <thread>

#include "keys/key_table.h"
#include "keys/macro_runner.h"
#include "tools/bridge/bridge_core.h"

namespace velmora::bridge {

namespace {

using Clock = MacroRunner::Clock;

// A step that is due after a wait goes to the camera thread this long before, which writes it at its
// time: one thread's wake-up, not the loop's and then the camera thread's, is in a nudge's error.
constexpr std::chrono::milliseconds kStepLead(2);

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool Selects(const std::string& selector, const DeviceInfo& device)
{
    return SameText(selector, device.id) || selector == std::to_string(device.index) ||
           (!device.path.empty() && selector == device.path);
}

// A macro's step sends its slot as one keypad would: a press first releases the key held, a
// release goes out only while the key is held (its code would let go of another key).
std::vector<int> StepSlots(int slot, const HeldKeys& held)
{
    const int key = slot / 2;
    if (slot % 2 == 0) return KeypadPressSlots(held, key, false);
    if (held.Holds(key) || !Keys[static_cast<std::size_t>(key)].releaseCode) return {slot};
    return {};
}

}  // namespace

struct BridgeCore::Run {
    Run(boost::asio::io_context& loop, Macro macro) : runner(std::move(macro), Clock::now()), timer(loop) {}

    MacroRequest request;  // without its macro, which the runner holds
    MacroRunner runner;
    boost::asio::steady_timer timer;
    MacroOutcome outcome;
    std::function<void(const MacroOutcome&)> done;
    bool started = false;  // on its device
};

template <typename Result>
void BridgeCore::Urgent(std::function<Result(CameraHost&)> fn, std::function<void(Result)> then)
{
    m_worker.SubmitUrgent([&worker = m_worker, fn = std::move(fn), then = std::move(then)](CameraHost& host) {
        worker.Answer([then, result = fn(host)]() mutable { then(std::move(result)); });
    });
}

void BridgeCore::RunMacro(MacroRequest request, std::function<void(const MacroOutcome&)> done)
{
    // Runs still ending count as well: a client sending macro after macro finds the bound as one
    // sending keys does.
    if (m_stopping || m_runs.size() >= m_worker.Capacity()) {
        MacroOutcome outcome;
        outcome.name = request.macro.name;
        outcome.end = m_stopping ? MacroEnd::Stopping : MacroEnd::Failed;
        outcome.failure =
            m_stopping
                ? BridgeFailure{FailureKind::Stopping, "stopping", "the bridge is stopping", std::nullopt}
                : BridgeFailure{FailureKind::Busy, "busy", "the camera is busy: too many macros wait for it",
                                std::nullopt};
        boost::asio::post(m_loop, [done = std::move(done), outcome] { done(outcome); });
        return;
    }
    const Owner id = NewOwner();
    auto run = std::make_shared<Run>(m_loop, std::move(request.macro));
    run->outcome.name = run->runner.GetMacro().name;
    if (run->outcome.name.empty() && run->runner.GetMacro().steps.size() == 1)
        run->outcome.nudge = run->runner.GetMacro().steps.front();
    run->done = std::move(done);
    const std::optional<std::string> device = request.device;
    run->request = std::move(request);
    m_clients[id] = run->request.client;
    m_runs.emplace(id, run);
    Urgent<KeyOutcome>([device, id](CameraHost& host) { return host.StartMacro(device, id); },
                       [this, id, anyDevice = !device](KeyOutcome started) {
                           const auto found = m_runs.find(id);
                           if (found == m_runs.end()) return;
                           Run& run = *found->second;
                           if (!started.device.id.empty() && anyDevice) m_servedId = started.device.id;
                           Apply(started);
                           if (started.cancelledRun)
                               EndRun(*started.cancelledRun, MacroEnd::AnotherMacro, run.request.client,
                                      std::nullopt, &started);
                           if (started.failure) return EndRun(id, MacroEnd::Failed, {}, started.failure);
                           run.outcome.device = started.device;
                           run.started = true;
                           PublishMacro(BridgeEvent::Kind::MacroStarted, run);
                           Step(id);
                       });
}

void BridgeCore::Step(Owner id, std::optional<Clock::time_point> due)
{
    const auto found = m_runs.find(id);
    if (found == m_runs.end()) return;
    Run& run = *found->second;
    const MacroRunner::Action action = run.runner.Next(due ? std::max(*due, Clock::now()) : Clock::now());
    if (action.kind == MacroRunner::Action::Kind::Done) {
        if (!due || *due <= Clock::now()) return EndRun(id, std::nullopt);
        // A last wait ends at its time.
        run.timer.expires_at(*due);
        run.timer.async_wait([this, id](const boost::system::error_code& error) {
            if (!error) EndRun(id, std::nullopt);
        });
        return;
    }
    if (action.kind == MacroRunner::Action::Kind::Wait) {
        run.timer.expires_at(action.until - kStepLead);
        run.timer.async_wait([this, id, until = action.until](const boost::system::error_code& error) {
            if (!error) Step(id, until);
        });
        return;
    }
    KeyRequest request;
    request.owner = id;
    request.client = run.request.client;
    request.device = run.outcome.device.id;
    request.keyIndex = action.slot / 2;
    request.action = action.slot % 2 == 0 ? KeyAction::Press : KeyAction::Release;
    request.macroStep = true;
    request.plan = [slot = action.slot](const HeldKeys& held) { return StepSlots(slot, held); };
    Urgent<KeyOutcome>(
        [request, due](CameraHost& host) {
            if (due) std::this_thread::sleep_until(*due);
            return host.RunKey(request);
        },
        [this, id, step = action.step](KeyOutcome outcome) {
            const auto found = m_runs.find(id);
            // Cancelled on the camera thread: the cancel is on its way here.
            if (found == m_runs.end() || (outcome.failure && outcome.failure->kind == FailureKind::Cancelled))
                return;
            Run& run = *found->second;
            Apply(outcome);
            for (const KeyWrite& write : outcome.writes) {
                run.outcome.writes.push_back(write);
                run.outcome.steps.push_back(step);
            }
            PublishMacro(BridgeEvent::Kind::MacroStep, run, &outcome, step);
            run.runner.Sent(!outcome.failure, outcome.sentAt);
            if (outcome.failure) return EndRun(id, MacroEnd::Failed, {}, outcome.failure);
            Step(id);
        });
}

void BridgeCore::EndRun(Owner id, std::optional<MacroEnd> end, std::string by,
                        std::optional<BridgeFailure> failure, const KeyOutcome* released)
{
    const auto found = m_runs.find(id);
    if (found == m_runs.end()) return;
    const std::shared_ptr<Run> run = found->second;
    m_runs.erase(found);
    m_clients.erase(id);
    run->timer.cancel();
    run->runner.Cancel();  // what it holds is released on the camera thread, where it is known
    run->outcome.finished = !end;
    run->outcome.end = end;
    run->outcome.endedBy = std::move(by);
    if (!failure && end && end != MacroEnd::Failed) {
        const std::string what = run->outcome.name.empty() ? "the nudge" : "macro " + run->outcome.name;
        const std::string why = *end == MacroEnd::KeyPressed     ? "a key was pressed"
                                : *end == MacroEnd::AnotherMacro ? "another macro was started"
                                : *end == MacroEnd::Request      ? "cancelled"
                                : *end == MacroEnd::ClientGone   ? "the client that started it went away"
                                                                 : "the bridge is stopping";
        const std::string who = run->outcome.endedBy.empty() ? "" : " (by " + run->outcome.endedBy + ")";
        failure = BridgeFailure{*end == MacroEnd::Stopping ? FailureKind::Stopping : FailureKind::Cancelled,
                                *end == MacroEnd::Stopping ? "stopping" : "cancelled",
                                what + " was cancelled: " + why + who, std::nullopt};
    }
    run->outcome.failure = std::move(failure);
    if (released) {
        for (const KeyWrite& write : released->writes) {
            run->outcome.writes.push_back(write);
            run->outcome.steps.push_back(-1);
        }
    }
    Urgent<std::vector<KeyOutcome>>([id](CameraHost& host) { return host.EndMacro(id); },
                                    [this, run](std::vector<KeyOutcome> outcomes) {
                                        for (const KeyOutcome& outcome : outcomes) {
                                            Apply(outcome);
                                            for (const KeyWrite& write : outcome.writes) {
                                                run->outcome.writes.push_back(write);
                                                run->outcome.steps.push_back(-1);
                                                if (m_stopping && write.status == StatusOk)
                                                    ++m_releasedAtStop;
                                            }
                                        }
                                        if (run->started) PublishMacro(BridgeEvent::Kind::MacroEnded, *run);
                                        if (run->done) run->done(run->outcome);
                                    });
}

void BridgeCore::PublishMacro(BridgeEvent::Kind kind, const Run& run, const KeyOutcome* key, int step)
{
    BridgeEvent event;
    event.kind = kind;
    event.device = run.outcome.device;
    event.client = run.request.client;
    event.macro = run.outcome;
    if (key) event.key = *key;
    event.step = step;
    const std::vector<MacroStep>& steps = run.runner.GetMacro().steps;
    if (step >= 0 && static_cast<std::size_t>(step) < steps.size())
        event.line = steps[static_cast<std::size_t>(step)].line;
    event.held = HoldsOn(run.outcome.device.id);
    Publish(event);
}

std::size_t BridgeCore::CancelMacros(const std::optional<std::string>& device, const std::string& client)
{
    std::vector<Owner> ids;
    for (const auto& [id, run] : m_runs) {
        if (!device || Selects(*device, run->outcome.device)) ids.push_back(id);
    }
    for (const Owner id : ids) EndRun(id, MacroEnd::Request, client);
    return ids.size();
}

void BridgeCore::EndRunsOf(std::optional<Owner> starter, MacroEnd end)
{
    std::vector<Owner> ids;
    for (const auto& [id, run] : m_runs) {
        if (!starter || (run->request.cancelOnGone && run->request.starter == *starter)) ids.push_back(id);
    }
    for (const Owner id : ids) EndRun(id, end);
}

std::vector<RunningMacro> BridgeCore::RunningMacros() const
{
    std::vector<RunningMacro> running;
    for (const auto& [id, run] : m_runs)
        running.push_back(RunningMacro{run->outcome.name, run->outcome.device, run->request.client});
    return running;
}

}  // namespace velmora::bridge

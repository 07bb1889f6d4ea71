// SIGTERM, SIGINT and SIGHUP end the window as closing it does: onSignal runs once, on the event
// loop, so a held key's release goes out and the window and its devices are torn down in order;
// the process exits 0. A signal the process was started with ignored (SIGHUP under nohup) stays
// ignored. After the first signal a repeat within kRepeatGraceMs is absorbed (timeout signals the
// child and then its whole group at once); a later one ends the process by the signal's default
// action, so a teardown that hangs can still be ended from the terminal. This holds on after the
// guard is gone. Elsewhere this does nothing.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace velmora {

class TerminationSignals {
public:
    static constexpr int kRepeatGraceMs = 1000;

    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace velmora

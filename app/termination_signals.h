// SIGTERM, SIGINT and SIGHUP end the window as closing it does: onSignal runs once, on the event
// loop, so a held key's release goes out and the window and its devices are torn down in order;
// the process exits 0. Repeats and signals started ignored: see StopSignals. Elsewhere this does
// nothing.
#pragma once

#include <functional>
#include <memory>

#include "platform/stop_signals.h"

class QSocketNotifier;

namespace velmora {

class TerminationSignals {
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<StopSignals> m_signals;
};

}  // namespace velmora

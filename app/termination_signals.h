// SIGTERM, SIGINT and SIGHUP end the event loop like closing the window does, so the window and
// its devices are torn down in order and the process exits 0. Elsewhere this does nothing.
#pragma once

#include <memory>

class QSocketNotifier;

namespace velmora {

class TerminationSignals {
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace velmora

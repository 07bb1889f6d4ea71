#include "app/termination_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace velmora {
namespace {

int g_pipe[2] = {-1, -1};

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
{
    if (g_pipe[0] >= 0 || pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [onSignal = std::move(onSignal)] {
        char byte = 0;
        while (read(g_pipe[0], &byte, 1) == 1) {
        }
        onSignal();
    });
    m_signals = std::make_unique<StopSignals>(g_pipe[1]);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier) {
        return;
    }
    m_signals.reset();
    m_notifier.reset();
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace velmora

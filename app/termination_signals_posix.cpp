#include "app/termination_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <iterator>

namespace velmora {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_pipe[2] = {-1, -1};
// When the first signal came (monotonic milliseconds, never 0), or 0 before it.
std::atomic<std::int64_t> g_firstMs{0};
static_assert(std::atomic<std::int64_t>::is_always_lock_free);

std::int64_t NowMs()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 + 1;
}

// Only async-signal-safe work here. The first signal writes the byte the event loop reads; a
// repeat is absorbed while the close is young and gets the default action after that. Only the
// first writes, so the pipe may close once a signal came.
extern "C" void OnTerminationSignal(int signal)
{
    const int saved = errno;
    const std::int64_t now = NowMs();
    std::int64_t first = 0;
    if (g_firstMs.compare_exchange_strong(first, now)) {
        const char byte = static_cast<char>(signal);
        [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    } else if (now - first >= TerminationSignals::kRepeatGraceMs) {
        struct sigaction action = {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
        raise(signal);  // delivered when the handler returns
    }
    errno = saved;
}

// The dispositions found before the guard took over, for the ones it took.
struct sigaction g_previous[std::size(kSignals)];
bool g_taken[std::size(kSignals)] = {};

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
{
    if (g_pipe[0] >= 0 || pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    g_firstMs = 0;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [onSignal = std::move(onSignal)] {
        char byte = 0;
        while (read(g_pipe[0], &byte, 1) == 1) {
        }
        onSignal();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], nullptr, &g_previous[i]);
        g_taken[i] = g_previous[i].sa_handler != SIG_IGN;
        if (g_taken[i]) sigaction(kSignals[i], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier) {
        return;
    }
    // Once a signal came the handler stays for the rest of the teardown.
    if (g_firstMs == 0) {
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            if (g_taken[i]) sigaction(kSignals[i], &g_previous[i], nullptr);
        }
    }
    m_notifier.reset();
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace velmora

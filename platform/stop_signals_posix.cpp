#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "platform/stop_signals.h"

namespace velmora {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_wakeFd = -1;
std::atomic<int> g_signal{0};
// When the first signal came (monotonic milliseconds, never 0), or 0 before it.
std::atomic<std::int64_t> g_firstMs{0};
static_assert(std::atomic<std::int64_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// The dispositions the guard found, for the signals it took.
struct sigaction g_previous[std::size(kSignals)];
bool g_taken[std::size(kSignals)] = {};

std::int64_t NowMs()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 + 1;
}

void SetDefault(int signal)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// Async-signal-safe work only. Only the first signal writes to g_wakeFd, so its owner may close it
// once a signal came.
extern "C" void OnStopSignal(int signal)
{
    const int saved = errno;
    const std::int64_t now = NowMs();
    std::int64_t first = 0;
    if (g_firstMs.compare_exchange_strong(first, now)) {
        g_signal = signal;
        const char byte = static_cast<char>(signal);
        if (g_wakeFd >= 0) {
            [[maybe_unused]] const ssize_t written = write(g_wakeFd, &byte, 1);
        }
    } else if (now - first >= StopSignals::kRepeatGraceMs) {
        SetDefault(signal);
        raise(signal);  // delivered as the handler returns
    }
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(int wakeFd)
{
    g_wakeFd = wakeFd;
    g_signal = 0;
    g_firstMs = 0;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], nullptr, &g_previous[i]);
        g_taken[i] = g_previous[i].sa_handler != SIG_IGN;
        if (g_taken[i]) sigaction(kSignals[i], &action, nullptr);
    }
}

StopSignals::~StopSignals()
{
    if (g_firstMs == 0) {
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            if (g_taken[i]) sigaction(kSignals[i], &g_previous[i], nullptr);
        }
    }
    g_wakeFd = -1;
}

int StopSignals::Received()
{
    return g_signal;
}

const char* StopSignals::Name(int signal)
{
    return signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "SIGHUP";
}

bool StopSignals::SleepUntil(std::chrono::steady_clock::time_point deadline)
{
    // The signals are let in only while ppoll sleeps: one that comes after the look at g_signal
    // wakes the sleep instead of being missed.
    sigset_t stops;
    sigset_t previous;
    sigemptyset(&stops);
    for (const int signal : kSignals) sigaddset(&stops, signal);
    pthread_sigmask(SIG_BLOCK, &stops, &previous);
    while (g_signal == 0) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) break;
        const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout = {};
        timeout.tv_sec = static_cast<time_t>(nanoseconds / 1000000000);
        timeout.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
        ppoll(nullptr, 0, &timeout, &previous);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return g_signal == 0;
}

void StopSignals::EndBy(int signal)
{
    std::fflush(nullptr);
    SetDefault(signal);
    raise(signal);
    std::_Exit(128 + signal);
}

}  // namespace velmora

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// needs windows.h first
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/stop_signals.h"

namespace velmora {
namespace {

std::atomic<int> g_signal{0};
std::atomic<ULONGLONG> g_firstMs{0};  // when the first Ctrl-C came, or 0
// Set by the first Ctrl-C, for SleepUntil; made by the first guard, kept for the process's life.
HANDLE g_wake = nullptr;

// Runs on a thread of its own. FALSE hands the event on to the default handler, which ends the process.
BOOL WINAPI OnConsoleStop(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    const ULONGLONG now = GetTickCount64() + 1;
    ULONGLONG first = 0;
    if (g_firstMs.compare_exchange_strong(first, now)) {
        g_signal = SIGINT;
        SetEvent(g_wake);
        return TRUE;
    }
    return now - first < static_cast<ULONGLONG>(StopSignals::kRepeatGraceMs) ? TRUE : FALSE;
}

}  // namespace

// A console that ignores Ctrl-C (a process started so) does not call the handler for it.
StopSignals::StopSignals(int)
{
    g_signal = 0;
    g_firstMs = 0;
    if (!g_wake) g_wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_wake) ResetEvent(g_wake);
    SetConsoleCtrlHandler(OnConsoleStop, TRUE);
}

StopSignals::~StopSignals()
{
    if (g_firstMs == 0) SetConsoleCtrlHandler(OnConsoleStop, FALSE);
}

int StopSignals::Received()
{
    return g_signal;
}

const char* StopSignals::Name(int)
{
    return "Ctrl-C";
}

bool StopSignals::SleepUntil(std::chrono::steady_clock::time_point deadline)
{
    timeBeginPeriod(1);  // waits to the millisecond, not the 15.6 ms tick
    while (g_signal == 0) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) break;
        // Rounded up: never wakes before the deadline.
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        const DWORD wait = static_cast<DWORD>(std::min<long long>(ms, 3600000));
        if (g_wake) {
            WaitForSingleObject(g_wake, wait);
        } else {
            Sleep(wait);
        }
    }
    timeEndPeriod(1);
    return g_signal == 0;
}

void StopSignals::EndBy(int signal)
{
    std::fflush(nullptr);
    std::_Exit(128 + signal);
}

}  // namespace velmora

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/stop_signals.h"

namespace velmora {
namespace {

std::atomic<int> g_signal{0};
std::atomic<ULONGLONG> g_firstMs{0};  // when the first Ctrl-C came, or 0

// Runs on a thread of its own. FALSE hands the event on to the default handler, which ends the process.
BOOL WINAPI OnConsoleStop(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    const ULONGLONG now = GetTickCount64() + 1;
    ULONGLONG first = 0;
    if (g_firstMs.compare_exchange_strong(first, now)) {
        g_signal = SIGINT;
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

void StopSignals::EndBy(int signal)
{
    std::fflush(nullptr);
    std::_Exit(128 + signal);
}

}  // namespace velmora

// SIGTERM, SIGINT and SIGHUP (in a Windows console Ctrl-C and Ctrl-Break) as a request to stop, for
// a program that ends in order and lets go of a held key first. A signal the process was started
// with ignored (SIGHUP under nohup) stays ignored. After the first signal a repeat within
// kRepeatGraceMs is absorbed (timeout signals the child and then its whole group at once); a later
// one ends the process by its default action, so an orderly end that hangs can still be cut short
// from the terminal. Once a signal came this holds for the rest of the process; otherwise the guard
// gives the signals back as it found them. One guard at a time.
#pragma once

#include <chrono>

namespace velmora {

class StopSignals {
public:
    static constexpr int kRepeatGraceMs = 1000;

    // wakeFd (POSIX): when not -1, the first signal writes one byte to it, a pipe's write end.
    explicit StopSignals(int wakeFd = -1);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first signal that came (SIGINT for Ctrl-C and Ctrl-Break), or 0.
    static int Received();
    // "SIGTERM", "SIGINT", "SIGHUP"; on Windows "Ctrl-C".
    static const char* Name(int signal);

    // Sleeps until deadline (std::chrono::steady_clock); false when a stop signal came first, or had
    // come already. A signal that comes in the middle wakes it at once.
    static bool SleepUntil(std::chrono::steady_clock::time_point deadline);

    // Ends the process as that signal does by default (Windows: exit status 130); flushes stdio first.
    [[noreturn]] static void EndBy(int signal);
};

}  // namespace velmora

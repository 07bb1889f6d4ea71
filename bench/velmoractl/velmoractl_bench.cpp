// Wall time of one `velmoractl --backend sim key menu`, from spawn to exit, against the window's
// start-up to its first expose (the start-up probe), launched in alternation within one run.
// The window needs a display (bench/velmoractl/run.sh provides one with Xvfb).
#include <benchmark/benchmark.h>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Spawns argv with standard output on a pipe; returns the milliseconds until the first line
// arrived (untilLine) or the process exited, or a negative value when it did not succeed.
double TimedLaunch(std::vector<std::string> argv, bool untilLine)
{
    int fds[2];
    if (pipe(fds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return -1;
    }
    std::string output;
    pollfd readable{fds[0], POLLIN, 0};
    while (poll(&readable, 1, 30000) > 0) {
        char buffer[256];
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        output.append(buffer, static_cast<std::size_t>(got));
        if (untilLine && output.find('\n') != std::string::npos) break;
    }
    auto end = std::chrono::steady_clock::now();
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!untilLine) end = std::chrono::steady_clock::now();
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !output.empty();
    return ok ? std::chrono::duration<double, std::milli>(end - start).count() : -1;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void KeyMenuVersusWindowStartup(benchmark::State& state)
{
    setenv("VELMORA_BACKEND", "sim", 1);
    unsetenv("VELMORA_SIM_CONFIG");
    unsetenv("VELMORA_SIM_TRACE");
    const std::vector<std::string> key{VELMORACTL_PATH, "--backend", "sim", "key", "menu"};
    const std::vector<std::string> window{VELMORA_STARTUP_PROBE, "velmora"};
    // One unmeasured launch of each first: the page cache, fontconfig's cache.
    TimedLaunch(key, false);
    TimedLaunch(window, true);

    std::vector<double> keyMs, windowMs;
    bool swap = false;
    for (auto _ : state) {
        const double first = swap ? TimedLaunch(window, true) : TimedLaunch(key, false);
        const double second = swap ? TimedLaunch(key, false) : TimedLaunch(window, true);
        const double keyTime = swap ? second : first;
        const double windowTime = swap ? first : second;
        swap = !swap;
        if (keyTime < 0 || windowTime < 0) {
            state.SkipWithError(keyTime < 0 ? "velmoractl key menu failed" : "the window did not show");
            return;
        }
        keyMs.push_back(keyTime);
        windowMs.push_back(windowTime);
    }
    const double keyMedian = Median(keyMs);
    const double windowMedian = Median(windowMs);
    state.counters["velmoractl_ms"] = keyMedian;
    state.counters["window_ms"] = windowMedian;
    state.counters["ratio"] = keyMedian / windowMedian;
    std::printf(
        "velmoractl key menu %.2f ms, window start-up to first expose %.2f ms, ratio %.3f "
        "(medians of %zu alternating launches each)\n",
        keyMedian, windowMedian, keyMedian / windowMedian, keyMs.size());
    std::fflush(stdout);
}

}  // namespace

BENCHMARK(KeyMenuVersusWindowStartup)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();

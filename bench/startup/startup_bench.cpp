// Time from exec to the first expose of the window, and peak memory, for Velmora on two simulated
// cameras and for a bare QMainWindow of the same size, launched in alternation within one run.
// Needs a display (bench/startup/run.sh provides one with Xvfb).
#include <benchmark/benchmark.h>

#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
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

struct Launch {
    double milliseconds = 0;
    long maxRssKiB = 0;
    bool ok = false;
};

// Spawns the probe and waits for its "shown" line and its exit.
Launch Run(const char* mode)
{
    Launch result;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    std::string probe = VELMORA_STARTUP_PROBE;
    std::string argument = mode;
    char* argv[] = {probe.data(), argument.data(), nullptr};

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, probe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return result;
    }

    std::string output;
    pollfd readable{pipeFds[0], POLLIN, 0};
    while (output.find('\n') == std::string::npos && poll(&readable, 1, 30000) > 0) {
        char buffer[64];
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        output.append(buffer, static_cast<std::size_t>(got));
    }
    const auto shown = std::chrono::steady_clock::now();
    close(pipeFds[0]);

    int status = 0;
    rusage usage{};
    if (output.rfind("shown", 0) != 0) kill(pid, SIGKILL);
    wait4(pid, &status, 0, &usage);
    result.milliseconds = std::chrono::duration<double, std::milli>(shown - start).count();
    result.maxRssKiB = usage.ru_maxrss;
    result.ok = output.rfind("shown", 0) == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

template <typename T>
T Median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void StartupVersusBareWindow(benchmark::State& state)
{
    setenv("VELMORA_BACKEND", "sim", 1);
    unsetenv("VELMORA_SIM_CONFIG");
    unsetenv("VELMORA_SIM_TRACE");
    // One unmeasured launch of each first: the page cache, fontconfig's cache.
    Run("velmora");
    Run("bare");

    std::vector<double> velmoraMs, bareMs;
    std::vector<long> velmoraRss, bareRss;
    bool swap = false;
    for (auto _ : state) {
        const char* order[2] = {"velmora", "bare"};
        if (swap) std::swap(order[0], order[1]);
        swap = !swap;
        for (const char* mode : order) {
            const Launch launch = Run(mode);
            if (!launch.ok) {
                state.SkipWithError("the probe did not show its window");
                return;
            }
            const bool isVelmora = std::string(mode) == "velmora";
            (isVelmora ? velmoraMs : bareMs).push_back(launch.milliseconds);
            (isVelmora ? velmoraRss : bareRss).push_back(launch.maxRssKiB);
        }
    }
    const double velmora = Median(velmoraMs);
    const double bare = Median(bareMs);
    const long velmoraKiB = Median(velmoraRss);
    const long bareKiB = Median(bareRss);
    state.counters["velmora_ms"] = velmora;
    state.counters["bare_ms"] = bare;
    state.counters["ratio"] = velmora / bare;
    state.counters["velmora_maxrss_KiB"] = static_cast<double>(velmoraKiB);
    state.counters["bare_maxrss_KiB"] = static_cast<double>(bareKiB);
    state.counters["maxrss_ratio"] = static_cast<double>(velmoraKiB) / static_cast<double>(bareKiB);
    std::printf(
        "startup: velmora %.1f ms, bare window %.1f ms, ratio %.3f (medians of %zu alternating launches "
        "each)\n"
        "peak memory: velmora %ld KiB, bare window %ld KiB, ratio %.3f\n",
        velmora, bare, velmora / bare, velmoraMs.size(), velmoraKiB, bareKiB,
        static_cast<double>(velmoraKiB) / static_cast<double>(bareKiB));
    std::fflush(stdout);
}

int Rounds()
{
    const char* rounds = std::getenv("VELMORA_STARTUP_ROUNDS");
    const int value = rounds ? std::atoi(rounds) : 0;
    return value > 0 ? value : 20;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("StartupVersusBareWindow", StartupVersusBareWindow)
        ->Iterations(Rounds())
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// velmoractl's one-shot cost against the system's own V4L2 tool, and a batch against one-shots.
// Whole processes from spawn to exit, launched in alternation within one run; medians.
//   A  velmoractl --backend sim key menu      vs  v4l2-ctl --list-devices
//   B  velmoractl --backend native list       vs  v4l2-ctl --list-devices
//   C  a program that only loads Qt Core (the floor)  vs  v4l2-ctl --list-devices
//   D  velmoractl --backend sim batch (1000 x key menu)  vs  1000 x velmoractl --backend sim key menu
// Usage: velmoractl_oneshot_bench [RUNS]   (v4l2-ctl from PATH, or the path in V4L2_CTL)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds from spawn to exit, output thrown away; negative when it could not be started.
double Launch(std::vector<std::string> argv)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Contender {
    const char* title;
    std::vector<std::string> argv;
    std::vector<double> times;
    std::vector<double> ratios;  // against the reference launched right after it
};

// Each contender followed by the reference, round after round, so that every contender meets the
// same machine; prints the median of each one's pairwise ratios (the figure to quote: it holds when
// the machine's speed drifts) and the medians of the times.
bool Compare(std::vector<Contender>& contenders, const std::vector<std::string>& reference, int runs)
{
    if (Launch(reference) < 0) {
        std::fprintf(stderr, "cannot start %s\n", reference[0].c_str());
        return false;
    }
    std::vector<double> referenceTimes;
    for (Contender& contender : contenders) {
        if (Launch(contender.argv) >= 0) continue;
        std::fprintf(stderr, "cannot start %s\n", contender.argv[0].c_str());
        return false;
    }
    for (int i = 0; i < runs; ++i) {
        for (Contender& contender : contenders) {
            const double time = Launch(contender.argv);
            const double referenceTime = Launch(reference);
            contender.times.push_back(time);
            contender.ratios.push_back(time / referenceTime);
            referenceTimes.push_back(referenceTime);
        }
    }
    std::printf("against %s, %d alternating runs each, %.3f ms median:\n", reference[0].c_str(), runs,
                Median(referenceTimes));
    for (const Contender& contender : contenders) {
        std::printf("  %-36s ratio %.2f (median of pairs), median %.3f ms\n", contender.title,
                    Median(contender.ratios), Median(contender.times));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 41;
    const char* v4l2 = std::getenv("V4L2_CTL");
    const std::string v4l2Ctl = v4l2 ? v4l2 : "v4l2-ctl";
    unsetenv("VELMORA_SIM_CONFIG");
    unsetenv("VELMORA_SIM_TRACE");
    unsetenv("VELMORA_SIM_HOTPLUG_DIR");
    // No Cfg.ini: the working directory is a fresh folder.
    char folder[] = "/tmp/velmoractl-bench-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) return 1;

    const std::vector<std::string> reference{v4l2Ctl, "--list-devices"};
    const std::vector<std::string> key{VELMORACTL_PATH, "--backend", "sim", "key", "menu"};
    std::vector<Contender> contenders{
        {"velmoractl --backend sim key menu", key, {}, {}},
        {"velmoractl --backend native list", {VELMORACTL_PATH, "--backend", "native", "list"}, {}, {}},
        {"Qt Core alone (the floor)", {QTCORE_FLOOR_PATH}, {}, {}},
    };
    const bool ok = Compare(contenders, {v4l2Ctl, "--list-devices"}, runs);

    constexpr int kPresses = 1000;
    const std::string script = std::string(folder) + "/presses.txt";
    {
        std::ofstream file(script);
        for (int i = 0; i < kPresses; ++i) file << "key menu\n";
    }
    const std::vector<std::string> batch{VELMORACTL_PATH, "--backend", "sim", "batch", script};
    std::vector<double> batches;
    std::vector<double> oneShots;
    Launch(batch);
    for (int round = 0; round < 3; ++round) {
        batches.push_back(Launch(batch));
        const auto start = Clock::now();
        for (int i = 0; i < kPresses; ++i) Launch(key);
        oneShots.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        batches.push_back(Launch(batch));
    }
    const double perBatched = Median(batches) / kPresses;
    const double perOneShot = Median(oneShots) / kPresses;
    std::printf(
        "%d key presses: batch %.1f ms (%.4f ms a command), one-shots %.1f ms (%.3f ms a command): "
        "one-shots cost %.0fx a batched command\n",
        kPresses, Median(batches), perBatched, Median(oneShots), perOneShot, perOneShot / perBatched);
    std::remove(script.c_str());
    if (chdir("/") != 0) return 1;
    rmdir(folder);
    return ok ? 0 : 1;
}

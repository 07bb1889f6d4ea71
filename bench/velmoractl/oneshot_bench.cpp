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

// A and B in turn, runs times each after one unmeasured launch of each; prints the medians and
// the median of the pairwise ratios.
bool Compare(const char* title, const std::vector<std::string>& a, const std::vector<std::string>& b,
             int runs)
{
    if (Launch(a) < 0 || Launch(b) < 0) {
        std::fprintf(stderr, "%s: cannot start %s or %s\n", title, a[0].c_str(), b[0].c_str());
        return false;
    }
    std::vector<double> as, bs, ratios;
    for (int i = 0; i < runs; ++i) {
        const double ta = Launch(a);
        const double tb = Launch(b);
        as.push_back(ta);
        bs.push_back(tb);
        ratios.push_back(ta / tb);
    }
    // The median of the pairwise ratios is the figure to quote: it holds when the machine's speed drifts.
    std::printf("%-36s ratio %.2f (median of pairs)   medians %7.3f ms vs %7.3f ms\n", title, Median(ratios),
                Median(as), Median(bs));
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
    bool ok = Compare("velmoractl --backend sim key menu", key, reference, runs);
    ok = Compare("velmoractl --backend native list", {VELMORACTL_PATH, "--backend", "native", "list"},
                 reference, runs) &&
         ok;
    ok = Compare("Qt Core alone (the floor)", {QTCORE_FLOOR_PATH}, reference, runs) && ok;

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

// Times two commands over many alternating runs, so that both see the same
// machine load, and prints the median wall time of each and their ratio.
//
//   spawn_compare RUNS -- COMMAND_A ARGS... -- COMMAND_B ARGS...

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double runOnceSeconds(std::vector<char*>& argv, const posix_spawn_file_actions_t* actions)
{
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(2);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 5 || std::strcmp(argv[2], "--") != 0) {
        std::fprintf(stderr, "usage: %s RUNS -- COMMAND_A... -- COMMAND_B...\n", argv[0]);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    std::vector<char*> a;
    std::vector<char*> b;
    int i = 3;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        a.push_back(argv[i]);
    }
    for (++i; i < argc; ++i) {
        b.push_back(argv[i]);
    }
    if (a.empty() || b.empty() || runs < 1) {
        std::fprintf(stderr, "two commands and a positive number of runs are needed\n");
        return 2;
    }
    a.push_back(nullptr);
    b.push_back(nullptr);

    // Standard output goes nowhere, as in a build script that discards it.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<double> timesA;
    std::vector<double> timesB;
    for (int run = 0; run < runs; ++run) {
        timesA.push_back(runOnceSeconds(a, &actions));
        timesB.push_back(runOnceSeconds(b, &actions));
    }
    const double medianA = median(timesA);
    const double medianB = median(timesB);
    std::printf("A: %.1f us (median of %d)\nB: %.1f us (median of %d)\nA/B: %.2f\n", medianA * 1e6,
                runs, medianB * 1e6, runs, medianA / medianB);
    return 0;
}

// What the benchmarks share: starting peer programs without a shell, their wall and CPU time, medians of
// interleaved pairs, and the rows of the one table `make bench` prints.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace bench {

using SteadyClock = std::chrono::steady_clock;

// Pairs measured per row; the median of their ratios is printed.
constexpr int kPairs = 5;

struct SRun {
    bool bOk = false;
    double dSeconds = 0;    // wall time
    double dCpuSeconds = 0; // user + system time of the measured side
    long nMaxRssKb = 0;     // peak resident size of a child process
};

inline double Seconds(SteadyClock::time_point since) {
    return std::chrono::duration<double>(SteadyClock::now() - since).count();
}

inline double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Starts words[0] from PATH with stdin and stdout on the given descriptors (-1: /dev/null) and stderr on
// /dev/null, in folder (empty: here); -1 when it could not start.
inline pid_t Spawn(std::vector<std::string> words, int in = -1, int out = -1,
                   const std::string& folder = {}) {
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in >= 0)
        posix_spawn_file_actions_adddup2(&actions, in, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for a child; its exit status (-1 when it did not exit) with its CPU time and peak size.
inline int Wait(pid_t pid, SRun* run = nullptr) {
    int status = 0;
    rusage usage{};
    if (pid <= 0 || ::wait4(pid, &status, 0, &usage) != pid)
        return -1;
    if (run) {
        run->dCpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
        run->nMaxRssKb = usage.ru_maxrss;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A whole program run, timed from its start to its end.
inline SRun RunProgram(const std::vector<std::string>& words) {
    SRun run;
    const auto start = SteadyClock::now();
    const pid_t pid = Spawn(words);
    run.bOk = Wait(pid, &run) == 0;
    run.dSeconds = Seconds(start);
    return run;
}

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Runs ours and the peer kPairs times, alternating which goes first, and returns the pairs' ratios of
// wall time (ours / peer's) and of CPU time; failed pairs are left out and counted.
struct SPairs {
    std::vector<double> wall, cpu, ours, peer;
    int nFailed = 0;
};

template <class Ours, class Peer> SPairs Interleave(Ours ours, Peer peer, int pairs = kPairs) {
    SPairs result;
    for (int i = 0; i < pairs; ++i) {
        SRun a, b;
        if (i % 2 == 0) {
            a = ours();
            b = peer();
        } else {
            b = peer();
            a = ours();
        }
        if (!a.bOk || !b.bOk || b.dSeconds <= 0) {
            ++result.nFailed;
            continue;
        }
        result.wall.push_back(a.dSeconds / b.dSeconds);
        if (b.dCpuSeconds > 0)
            result.cpu.push_back(a.dCpuSeconds / b.dCpuSeconds);
        result.ours.push_back(a.dSeconds);
        result.peer.push_back(b.dSeconds);
    }
    return result;
}

// One row of the table: the workload, what was measured, the goal, and whether it was met.
inline void Row(const std::string& workload, const std::string& measured, const std::string& goal, bool met) {
    std::printf("| %s | %s | %s | %s |\n", workload.c_str(), measured.c_str(), goal.c_str(),
                met ? "met" : "NOT met");
    std::fflush(stdout);
}

template <class... Args> std::string Format(const char* format, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace bench

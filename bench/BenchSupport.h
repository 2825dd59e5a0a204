// What the benchmarks share: peer programs run as child processes with their wall and CPU time, medians
// of interleaved pairs, busy loops that load the machine, and the rows of the one table `make bench`
// prints.
#pragma once

#include "platform/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace bench {

// A pseudo-terminal pair in raw mode; a side handed to somebody else is set to -1 so that it stays open.
struct SPty {
    int nMaster = -1;
    int nSlave = -1;
    std::string strSlave;
    SPty() {
        char name[256] = {};
        struct termios raw {};
        ::cfmakeraw(&raw);
        if (::openpty(&nMaster, &nSlave, name, &raw, nullptr) == 0)
            strSlave = name;
    }
    ~SPty() {
        if (nMaster >= 0)
            ::close(nMaster);
        if (nSlave >= 0)
            ::close(nSlave);
    }
    SPty(const SPty&) = delete;
    SPty& operator=(const SPty&) = delete;
};

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
// /dev/null, in folder (empty: here).
inline CChildProcess StartChild(const std::vector<std::string>& words, int in = -1, int out = -1,
                                const std::string& folder = {}) {
    SChildSetup setup;
    setup.in = in >= 0 ? SChildStream{in, {}} : SChildStream{-1, "/dev/null"};
    setup.out = out >= 0 ? SChildStream{out, {}} : SChildStream{-1, "/dev/null"};
    setup.err.strPath = "/dev/null";
    setup.strFolder = folder;
    CChildProcess child;
    child.Start(words, setup);
    return child;
}

// Waits for a child; its exit code, with its CPU time and peak size noted in run.
inline int WaitChild(CChildProcess& child, SRun* run = nullptr) {
    const int status = child.Wait();
    if (run) {
        const rusage& usage = child.Usage();
        run->dCpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
        run->nMaxRssKb = usage.ru_maxrss;
    }
    return status;
}

// A whole program run, timed from its start to its end.
inline SRun TimeProgram(const std::vector<std::string>& words) {
    SRun run;
    const auto start = SteadyClock::now();
    CChildProcess child = StartChild(words);
    run.bOk = WaitChild(child, &run) == 0;
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

// One busy loop per core beside the measurement, for as long as the object lives.
class CBusyLoops {
public:
    CBusyLoops() {
        for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
            m_loops.push_back(StartChild({"sh", "-c", "while :; do :; done"}));
    }

private:
    std::vector<CChildProcess> m_loops; // killed and reaped when they go
};

// The machine's load average over the last minute.
inline double LoadAverage() {
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

template <class... Args> std::string Format(const char* format, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// One row of the table: the workload, our figure, the peer's, their ratio, the goal, whether it was met,
// and the load average when the row was taken.
inline void Row(const std::string& workload, const std::string& ours, const std::string& peer,
                const std::string& ratio, const std::string& goal, bool met) {
    std::printf("| %s | %s | %s | %s | %s | %s | %.1f |\n", workload.c_str(), ours.c_str(), peer.c_str(),
                ratio.c_str(), goal.c_str(), met ? "met" : "NOT met", LoadAverage());
    std::fflush(stdout);
}

} // namespace bench

// Runs the dxu-sim program for a test: starts it with arguments (no shell), reads its "PTY <path>" line,
// and ends and reaps it when the object goes.
#pragma once

#include "platform/ChildProcess.h"
#include "platform/UniqueFd.h"

#include <chrono>
#include <string>
#include <vector>

class CSimProcess {
public:
    // ptyCount: how many "PTY <path>" lines to wait for (dxu-sim --count).
    explicit CSimProcess(const std::vector<std::string>& args, size_t ptyCount = 1);
    ~CSimProcess();
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;

    // True when the program started and named its pseudo-terminal.
    bool IsReady() const { return !m_strSlavePath.empty(); }
    const std::string& SlavePath() const { return m_strSlavePath; }
    const std::vector<std::string>& SlavePaths() const { return m_slavePaths; }

    // Waits up to the real time-out for the program to end by itself: its exit status, or -1 while it
    // still runs (or when it ended by a signal).
    int WaitForExit(std::chrono::milliseconds timeout);
    // SIGTERM, then the exit status as above (SIGKILL if it does not end within a few seconds).
    int Stop();

private:
    CUniqueFd m_stdout;
    CChildProcess m_sim;
    std::string m_strSlavePath;
    std::vector<std::string> m_slavePaths;
};

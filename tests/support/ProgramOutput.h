// Runs a program the way scripts do (no shell, standard input empty) and keeps what it wrote: to its end,
// or started for a test that acts while it runs.
#pragma once

#include "platform/ChildProcess.h"

#include <chrono>
#include <string>
#include <vector>

struct SProgramOutput {
    int nExit = -1; // exit code, 128 + a signal, or -1 when it could not start
    std::string strOut;
    std::string strErr;
    double dCpuSeconds = 0; // the user and system time it used
};

// A started program whose standard output and error go into files of a private folder.
class CProgramRun {
public:
    explicit CProgramRun(const std::vector<std::string>& argv);
    ~CProgramRun();
    CProgramRun(const CProgramRun&) = delete;
    CProgramRun& operator=(const CProgramRun&) = delete;

    // Waits for its end, killing it once the real time-out has passed; what it wrote and its exit.
    SProgramOutput Finish(std::chrono::milliseconds timeout = std::chrono::milliseconds::max());

private:
    std::string m_strFolder;
    SChildSetup m_setup;
    CChildProcess m_child;
    bool m_bStarted = false;
};

// To its end; a program still running after a minute of real time is killed (exit 128 + SIGKILL), so that
// a hung program fails its test with what it wrote instead of taking the whole test's time-out.
SProgramOutput RunCapturing(const std::vector<std::string>& argv);

// Another program run as a process of its own, without a shell: no text of its path or arguments is ever
// interpreted. A process still running when its object goes is killed and reaped, so none stays behind.
#pragma once

#include <chrono>
#include <csignal>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

// Where one of the child's standard streams goes: a descriptor of ours, else a file (opened for reading
// as input, made or emptied as output), else the stream we have.
struct SChildStream {
    int nFd = -1;
    std::string strPath;
};

struct SChildSetup {
    SChildStream in, out, err;
    std::string strFolder;   // its working folder; empty: ours
    bool bSearchPath = true; // a name without '/' is looked up on PATH
    // NAME=value entries set for the child on top of our environment.
    std::vector<std::string> environment;
};

class CChildProcess {
public:
    static constexpr int kNotEnded = -1000;

    CChildProcess() = default;
    ~CChildProcess() { Kill(); }
    CChildProcess(CChildProcess&& other) noexcept;
    CChildProcess& operator=(CChildProcess&& other) noexcept;
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts argv[0] with argv; 0, or the errno why it could not start (a missing program is seen here).
    // The child inherits no descriptor of ours beyond its three standard streams.
    int Start(const std::vector<std::string>& argv, const SChildSetup& setup = {});
    bool IsRunning() const { return m_pid > 0; }

    // How it ended: its exit code, 128 + the signal that ended it, -1 when it never started.
    int Wait();
    // As Wait, but kNotEnded when it has not ended within the time given (0: just look).
    int WaitFor(std::chrono::milliseconds timeout);
    // Sends a running child the signal; Wait or WaitFor tells how it ended.
    void Signal(int signal);
    // Ends a running child with the signal and reaps it.
    void Kill(int signal = SIGKILL);
    // Nobody will wait: a waiter of its own reaps it when it ends.
    void Detach();
    // Whether a signal ended it (its status is then 128 + the signal, which a program may also exit with).
    bool EndedBySignal() const { return m_bSignalled; }
    // What it used once it has ended and been waited for: CPU times and peak resident size.
    const rusage& Usage() const { return m_usage; }

private:
    pid_t m_pid = -1;
    int m_nStatus = -1;
    bool m_bSignalled = false;
    rusage m_usage{};
};

// Runs the program to its end: its exit code, 128 + a signal, or -1 when it could not start.
int RunProgram(const std::vector<std::string>& argv, const SChildSetup& setup = {});

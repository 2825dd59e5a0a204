#include "support/SimProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

CSimProcess::CSimProcess(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    m_stdout.Reset(pipeFds[0]);
    CUniqueFd writeEnd(pipeFds[1]);

    std::vector<std::string> argv{DXU_SIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    SChildSetup setup;
    setup.out.nFd = writeEnd.Get();
    const int started = m_sim.Start(argv, setup);
    writeEnd.Reset();
    if (started != 0)
        return;
    // The first line is "PTY <path>"; a program that fails to start closes the pipe instead.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd pfd{m_stdout.Get(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            return;
        char buffer[256];
        const ssize_t got = ::read(m_stdout.Get(), buffer, sizeof(buffer));
        if (got <= 0)
            return;
        line.append(buffer, static_cast<size_t>(got));
    }
    line.resize(line.find('\n'));
    if (line.rfind("PTY ", 0) == 0)
        m_strSlavePath = line.substr(4);
}

CSimProcess::~CSimProcess() {
    Stop();
}

int CSimProcess::WaitForExit(std::chrono::milliseconds timeout) {
    const int status = m_sim.WaitFor(timeout);
    return status == CChildProcess::kNotEnded || status >= 128 ? -1 : status;
}

int CSimProcess::Stop() {
    m_sim.Signal(SIGTERM);
    if (m_sim.WaitFor(std::chrono::seconds(5)) == CChildProcess::kNotEnded) {
        m_sim.Kill();
        return -1;
    }
    return WaitForExit(std::chrono::milliseconds(0));
}

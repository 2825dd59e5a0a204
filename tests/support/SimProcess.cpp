#include "support/SimProcess.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

CSimProcess::CSimProcess(const std::vector<std::string>& args, size_t ptyCount) {
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
    // The first lines are "PTY <path>", one per controller; a program that fails to start closes the pipe
    // instead.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (static_cast<size_t>(std::count(line.begin(), line.end(), '\n')) < ptyCount) {
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
    for (size_t start = 0; m_slavePaths.size() < ptyCount;) {
        const size_t end = line.find('\n', start);
        if (end == std::string::npos || line.compare(start, 4, "PTY ") != 0)
            return;
        m_slavePaths.push_back(line.substr(start + 4, end - start - 4));
        start = end + 1;
    }
    m_strSlavePath = m_slavePaths.front();
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

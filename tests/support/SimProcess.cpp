#include "support/SimProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

CSimProcess::CSimProcess(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    m_stdout.Reset(pipeFds[0]);
    CUniqueFd writeEnd(pipeFds[1]);

    std::vector<std::string> argvText{DXU_SIM_PATH};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
    const int rc = ::posix_spawn(&m_pid, DXU_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Reset();
    if (rc != 0) {
        m_pid = -1;
        return;
    }
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
    if (m_pid <= 0)
        return m_nStatus;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return m_nStatus;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        ::poll(nullptr, 0, 5);
    }
}

int CSimProcess::Stop() {
    if (m_pid <= 0)
        return m_nStatus;
    ::kill(m_pid, SIGTERM);
    if (WaitForExit(std::chrono::seconds(5)) < 0 && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        WaitForExit(std::chrono::seconds(5));
        m_nStatus = -1;
    }
    return m_nStatus;
}

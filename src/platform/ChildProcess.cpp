#include "platform/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace {

int StatusOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void AddStream(posix_spawn_file_actions_t& actions, const SChildStream& stream, int target) {
    if (stream.nFd >= 0)
        ::posix_spawn_file_actions_adddup2(&actions, stream.nFd, target);
    else if (!stream.strPath.empty())
        ::posix_spawn_file_actions_addopen(&actions, target, stream.strPath.c_str(),
                                           target == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC, 0600);
}

} // namespace

CChildProcess::CChildProcess(CChildProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_nStatus(other.m_nStatus), m_bSignalled(other.m_bSignalled),
      m_usage(other.m_usage) {}

CChildProcess& CChildProcess::operator=(CChildProcess&& other) noexcept {
    if (this != &other) {
        Kill();
        m_pid = std::exchange(other.m_pid, -1);
        m_nStatus = other.m_nStatus;
        m_bSignalled = other.m_bSignalled;
        m_usage = other.m_usage;
    }
    return *this;
}

int CChildProcess::Start(const std::vector<std::string>& argv, const SChildSetup& setup) {
    Kill();
    if (argv.empty())
        return EINVAL;
    std::vector<char*> pointers;
    for (const std::string& word : argv)
        pointers.push_back(const_cast<char*>(word.c_str()));
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    AddStream(actions, setup.in, 0);
    AddStream(actions, setup.out, 1);
    AddStream(actions, setup.err, 2);
    ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (!setup.strFolder.empty())
        ::posix_spawn_file_actions_addchdir_np(&actions, setup.strFolder.c_str());
    // The setup's entries first: of two entries of one name, the first counts.
    std::vector<char*> environment;
    for (const std::string& entry : setup.environment)
        environment.push_back(const_cast<char*>(entry.c_str()));
    for (char** entry = environ; *entry; ++entry)
        environment.push_back(*entry);
    environment.push_back(nullptr);
    char* const* envp = setup.environment.empty() ? environ : environment.data();
    // glibc reports a failed exec as the result, so a missing program is seen here, not as an exit code.
    pid_t pid = -1;
    const int result = setup.bSearchPath
                           ? ::posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), envp)
                           : ::posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), envp);
    ::posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        return result;
    m_pid = pid;
    m_nStatus = kNotEnded;
    m_bSignalled = false;
    m_usage = {};
    return 0;
}

int CChildProcess::Wait() {
    if (m_pid <= 0)
        return m_nStatus;
    int status = 0;
    pid_t done;
    while ((done = ::wait4(m_pid, &status, 0, &m_usage)) < 0 && errno == EINTR) {
    }
    m_nStatus = done == m_pid ? StatusOf(status) : -1;
    m_bSignalled = done == m_pid && WIFSIGNALED(status);
    m_pid = -1;
    return m_nStatus;
}

int CChildProcess::WaitFor(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_pid > 0) {
        int status = 0;
        const pid_t done = ::wait4(m_pid, &status, WNOHANG, &m_usage);
        if (done == m_pid || (done < 0 && errno != EINTR)) {
            m_nStatus = done == m_pid ? StatusOf(status) : -1;
            m_bSignalled = done == m_pid && WIFSIGNALED(status);
            m_pid = -1;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return kNotEnded;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return m_nStatus;
}

void CChildProcess::Signal(int signal) {
    if (m_pid > 0)
        ::kill(m_pid, signal);
}

void CChildProcess::Kill(int signal) {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, signal);
    Wait();
}

void CChildProcess::Detach() {
    if (m_pid <= 0)
        return;
    std::thread([pid = std::exchange(m_pid, -1)] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

int RunProgram(const std::vector<std::string>& argv, const SChildSetup& setup) {
    CChildProcess child;
    if (child.Start(argv, setup) != 0)
        return -1;
    return child.Wait();
}

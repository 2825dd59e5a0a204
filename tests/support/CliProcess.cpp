#include "support/CliProcess.h"
#include "support/TempFolder.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitForText(const std::string& path, const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (ReadText(path).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        ::poll(nullptr, 0, 5);
    }
    return true;
}

} // namespace

CCliProcess::CCliProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                         const std::string& inputPath) {
    std::string errPath = TestTempDir() + "/dravik-cli-err-XXXXXX";
    std::string outPath = TestTempDir() + "/dravik-cli-out-XXXXXX";
    const int errFd = ::mkstemp(errPath.data());
    if (errFd < 0)
        return;
    ::close(errFd);
    m_strErrPath = errPath;
    const int outFd = ::mkstemp(outPath.data());
    if (outFd < 0)
        return;
    ::close(outFd);
    m_strOutPath = outPath;

    std::vector<std::string> argvText{DRAVIK_CLI_PATH};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText(environment);
    for (char** entry = environ; *entry; ++entry)
        envText.emplace_back(*entry); // the first of a name wins: the test's own come first
    std::vector<char*> envp;
    for (std::string& entry : envText)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDWR | O_NOCTTY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, m_strOutPath.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, m_strErrPath.c_str(), O_WRONLY | O_TRUNC, 0);
    if (::posix_spawn(&m_pid, DRAVIK_CLI_PATH, &actions, nullptr, argv.data(), envp.data()) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

CCliProcess::~CCliProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        WaitForExit(std::chrono::seconds(10));
    }
    if (!m_strErrPath.empty())
        ::unlink(m_strErrPath.c_str());
    if (!m_strOutPath.empty())
        ::unlink(m_strOutPath.c_str());
}

void CCliProcess::Signal(int signal) const {
    if (m_pid > 0)
        ::kill(m_pid, signal);
}

int CCliProcess::WaitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_pid > 0) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        ::poll(nullptr, 0, 5);
    }
    return m_nStatus;
}

std::string CCliProcess::ErrorText() const {
    return ReadText(m_strErrPath);
}

std::string CCliProcess::OutputText() const {
    return ReadText(m_strOutPath);
}

bool CCliProcess::WaitForError(const std::string& text, std::chrono::milliseconds timeout) const {
    return WaitForText(m_strErrPath, text, timeout);
}

bool CCliProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) const {
    return WaitForText(m_strOutPath, text, timeout);
}

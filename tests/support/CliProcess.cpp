#include "support/CliProcess.h"
#include "support/TempFolder.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <unistd.h>

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

    // Read and write, as a terminal given as input is used; never our controlling terminal.
    const int input = ::open(inputPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (input < 0)
        return;
    SChildSetup setup;
    setup.in.nFd = input;
    setup.out.strPath = m_strOutPath;
    setup.err.strPath = m_strErrPath;
    setup.environment = environment;
    std::vector<std::string> argv{DRAVIK_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    m_child.Start(argv, setup);
    ::close(input);
}

CCliProcess::~CCliProcess() {
    m_child.Kill();
    if (!m_strErrPath.empty())
        ::unlink(m_strErrPath.c_str());
    if (!m_strOutPath.empty())
        ::unlink(m_strOutPath.c_str());
}

void CCliProcess::Signal(int signal) {
    m_child.Signal(signal);
}

int CCliProcess::WaitForExit(std::chrono::milliseconds timeout) {
    const int status = m_child.WaitFor(timeout);
    return status == CChildProcess::kNotEnded || m_child.EndedBySignal() ? -1 : status;
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

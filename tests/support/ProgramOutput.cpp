#include "support/ProgramOutput.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdlib.h>

namespace {

std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

CProgramRun::CProgramRun(const std::vector<std::string>& argv) {
    std::string folder = (std::filesystem::temp_directory_path() / "dravik-output-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr)
        return;
    m_strFolder = folder;
    m_setup.in.strPath = "/dev/null";
    m_setup.out.strPath = folder + "/out";
    m_setup.err.strPath = folder + "/err";
    m_bStarted = m_child.Start(argv, m_setup) == 0;
}

CProgramRun::~CProgramRun() {
    m_child.Kill();
    std::error_code error;
    if (!m_strFolder.empty())
        std::filesystem::remove_all(m_strFolder, error);
}

SProgramOutput CProgramRun::Finish(std::chrono::milliseconds timeout) {
    SProgramOutput result;
    if (!m_bStarted)
        return result;
    result.nExit = timeout == std::chrono::milliseconds::max() ? m_child.Wait() : m_child.WaitFor(timeout);
    if (result.nExit == CChildProcess::kNotEnded) {
        m_child.Kill();
        result.nExit = m_child.Wait();
    }
    const rusage& usage = m_child.Usage();
    result.dCpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.strOut = ReadWhole(m_setup.out.strPath);
    result.strErr = ReadWhole(m_setup.err.strPath);
    return result;
}

SProgramOutput RunCapturing(const std::vector<std::string>& argv) {
    return CProgramRun(argv).Finish(std::chrono::minutes(1));
}

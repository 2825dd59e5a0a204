#include "support/ProgramOutput.h"

#include "platform/ChildProcess.h"

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

SProgramOutput RunCapturing(const std::vector<std::string>& argv) {
    namespace fs = std::filesystem;
    std::string folder = (fs::temp_directory_path() / "dravik-output-XXXXXX").string();
    SProgramOutput result;
    if (::mkdtemp(folder.data()) == nullptr)
        return result;
    SChildSetup setup;
    setup.in.strPath = "/dev/null";
    setup.out.strPath = folder + "/out";
    setup.err.strPath = folder + "/err";
    result.nExit = RunProgram(argv, setup);
    result.strOut = ReadWhole(setup.out.strPath);
    result.strErr = ReadWhole(setup.err.strPath);
    std::error_code error;
    fs::remove_all(folder, error);
    return result;
}

// Any settings file: loading it gives valid settings, and a file it rewrote loads to the same settings
// without being rewritten again.
#include "engine/app/DravikApp.h"
#include "engine/app/SilentUserInterface.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// In memory-backed /dev/shm where there is one: the rewrite syncs the file.
std::string SettingsPath() {
    const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/dravik-settings-fuzz-" + std::to_string(::getpid()) + ".cfg";
}

std::string ReadFile(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        for (int c; (c = std::fgetc(file)) != EOF;)
            text.push_back(static_cast<char>(c));
        std::fclose(file);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = SettingsPath();
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    CSilentUserInterface ui;
    CDravikApp first(&ui);
    first.m_strSettingsPath = path;
    first.LoadSettings();
    // The port is COM1..COM9 or a device path of printable characters.
    const std::string& port = first.m_strPort;
    const bool com = port.size() == 4 && port.compare(0, 3, "COM") == 0 && port[3] >= '1' && port[3] <= '9';
    const bool device =
        port.size() > 1 && port[0] == '/' && std::all_of(port.begin(), port.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
        });
    if ((!com && !device) || (first.m_strWizard != "WE" && first.m_strWizard != "WD"))
        std::abort();

    const std::string written = ReadFile(path);
    CDravikApp second(&ui);
    second.m_strSettingsPath = path;
    second.LoadSettings();
    if (second.m_strPort != first.m_strPort || second.m_strWizard != first.m_strWizard ||
        second.m_bDebug != first.m_bDebug || second.m_nLinkKind != first.m_nLinkKind ||
        ReadFile(path) != written)
        std::abort();
    std::remove(path.c_str());
    return 0;
}

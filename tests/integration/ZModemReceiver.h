// The reference ZModem receiver `rz` (lrzsz) on the master side of a real pseudo-terminal, started with
// posix_spawn (no shell) in a temporary folder of its own; the program under test opens the slave like
// a COM port. Also a second temporary folder for the files to send.
#pragma once

#include "platform/ChildProcess.h"
#include "support/PtyPair.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

// A temporary folder, removed with everything in it.
class CTempFolder {
public:
    CTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "dravik-zmodem-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
    }
    ~CTempFolder() {
        std::error_code error;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, error);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string path = File(name);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::vector<uint8_t> Read(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(m_path / name); }

private:
    std::filesystem::path m_path;
};

class CRzReceiver {
public:
    static constexpr int kStillRunning = CChildProcess::kNotEnded;

    // Starts "rz -q <options>" with stdin and stdout on the master; false when the spawn failed.
    bool Start(const std::vector<std::string>& options = {}) {
        std::vector<std::string> words = {"rz", "-q"};
        words.insert(words.end(), options.begin(), options.end());
        SChildSetup setup;
        setup.in.nFd = setup.out.nFd = m_pty.Master();
        setup.err.strPath = "/dev/null";
        setup.strFolder = m_folder.Path().string();
        return m_rz.Start(words, setup) == 0;
    }

    // rz's exit status once it has ended within the real time given; kStillRunning otherwise.
    int Wait(std::chrono::milliseconds timeout) { return m_rz.WaitFor(timeout); }

    CPtyPair& Pty() { return m_pty; }
    const CTempFolder& Folder() const { return m_folder; }

private:
    CTempFolder m_folder;
    CPtyPair m_pty;
    CChildProcess m_rz; // last, so it is killed before the terminal and folder go
};

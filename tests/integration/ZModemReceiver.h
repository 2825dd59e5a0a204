// The reference ZModem receiver `rz` (lrzsz) on the master side of a real pseudo-terminal, started with
// posix_spawn (no shell) in a temporary folder of its own; the program under test opens the slave like
// a COM port. Also a second temporary folder for the files to send.
#pragma once

#include "support/PtyPair.h"

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

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
    CRzReceiver() = default;
    ~CRzReceiver() {
        if (m_pid > 0 && Wait(std::chrono::milliseconds(0)) == kStillRunning) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    CRzReceiver(const CRzReceiver&) = delete;
    CRzReceiver& operator=(const CRzReceiver&) = delete;

    static constexpr int kStillRunning = -1000;

    // Starts "rz -q <options>" with stdin and stdout on the master; false when the spawn failed.
    bool Start(const std::vector<std::string>& options = {}) {
        std::vector<std::string> words = {"rz", "-q"};
        words.insert(words.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, m_pty.Master(), 0);
        posix_spawn_file_actions_adddup2(&actions, m_pty.Master(), 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addchdir_np(&actions, m_folder.Path().c_str());
        const int failed = ::posix_spawnp(&m_pid, "rz", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0)
            m_pid = -1;
        return failed == 0;
    }

    // rz's exit status once it has ended within the real time given; kStillRunning otherwise.
    int Wait(std::chrono::milliseconds timeout) {
        if (m_pid <= 0)
            return m_nStatus;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            int status = 0;
            const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_pid = -1;
                m_nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return m_nStatus;
            }
            if (std::chrono::steady_clock::now() >= deadline)
                return kStillRunning;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    CPtyPair& Pty() { return m_pty; }
    const CTempFolder& Folder() const { return m_folder; }

private:
    CTempFolder m_folder;
    CPtyPair m_pty;
    pid_t m_pid = -1;
    int m_nStatus = kStillRunning;
};

// The reference ZModem receiver `rz` (lrzsz) on the master side of a real pseudo-terminal, started with
// posix_spawn (no shell) in a temporary folder of its own; the program under test opens the slave like
// a COM port. Also a second temporary folder for the files to send.
#pragma once

#include "platform/ChildProcess.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

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

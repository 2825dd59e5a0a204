// Runs the dravik-cli program for a test while the test watches it: started with arguments and extra
// environment (no shell), standard input empty (or a given file, such as a terminal), standard output and
// error kept in files the test can read at any time; signals on request; ended and reaped when the object
// goes.
#pragma once

#include "platform/ChildProcess.h"

#include <chrono>
#include <string>
#include <vector>

class CCliProcess {
public:
    CCliProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment = {},
                const std::string& inputPath = "/dev/null");
    ~CCliProcess();
    CCliProcess(const CCliProcess&) = delete;
    CCliProcess& operator=(const CCliProcess&) = delete;

    bool IsRunning() const { return m_child.IsRunning(); }
    void Signal(int signal);
    // Waits up to the real time-out for the program to end: its exit status, or -1 while it still runs
    // or when a signal ended it.
    int WaitForExit(std::chrono::milliseconds timeout);
    // Waits up to the real time-out until standard error holds the text.
    bool WaitForError(const std::string& text, std::chrono::milliseconds timeout) const;
    std::string ErrorText() const;
    std::string OutputText() const;
    // Waits up to the real time-out until standard output holds the text.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) const;

private:
    CChildProcess m_child;
    std::string m_strErrPath;
    std::string m_strOutPath;
};

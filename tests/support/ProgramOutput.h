// Runs a program to its end the way scripts do (no shell, standard input empty) and keeps what it wrote.
#pragma once

#include <string>
#include <vector>

struct SProgramOutput {
    int nExit = -1; // exit code, 128 + a signal, or -1 when it could not start
    std::string strOut;
    std::string strErr;
};

SProgramOutput RunCapturing(const std::vector<std::string>& argv);

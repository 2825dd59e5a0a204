// The command line of dravik-cli: global options, one command and its arguments.
#pragma once

#include <string>
#include <vector>

struct CliOptions {
    std::string strPort;
    bool bUsb = false;
    std::string strHidSocket;
    std::string strSettings;
    bool bYes = false;
    bool bNoRestart = false;
    int nState = -1;  // -1: run Connect as usual; 1 BIOS, 2 bootstrap
    double dClockSpeed = 1.0;  // tests and demonstrations run the program's waits faster
    bool bHelp = false;
    bool bVersion = false;
    std::string strCommand;
    std::vector<std::string> arguments;
};

constexpr int kExitUsage = 64;

// Parses argv; false with a reason for a usage error.
bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error);
const char* CliUsageLine();
const char* CliHelpText();

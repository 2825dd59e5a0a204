// The command line of dravik-cli: options (before or after the command), one command and its arguments.
#pragma once

#include "cli/CliExitCodes.h"

#include <string>
#include <vector>

struct CliOptions {
    std::string strPort;
    bool bUsb = false;
    std::string strHidSocket;
    std::string strSettings;
    bool bYes = false;
    bool bNoRestart = false;
    int nState = -1;                // -1: run Connect as usual; 1 BIOS, 2 bootstrap
    double dClockSpeed = 1.0;       // tests and demonstrations run the program's waits faster
    bool bQuiet = false;            // no status-bar texts
    bool bJson = false;             // every event as one JSON object per line on standard output
    std::string strCapture;         // terminal: the file a diagnostic dump capture writes
    std::string strSysfs;           // ports, doctor: sysfs root (default /sys)
    std::string strDev;             // ports, doctor: device folder (default /dev)
    std::vector<std::string> ports; // every --port, in order (upgrade serves each one)
    std::string strPortsFrom;       // upgrade: a file of ports, one a line
    bool bNoRecord = false;         // keep no service record of this run
    std::string strSince;           // records: from this day (YYYY-MM-DD) on
    bool bHelp = false;
    bool bVersion = false;
    std::string strCommand;
    std::vector<std::string> arguments;
};

// Parses argv; false with a reason for a usage error.
bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error);
const char* CliUsageLine();
// The --help text, the exit-code table included.
std::string CliHelpText();

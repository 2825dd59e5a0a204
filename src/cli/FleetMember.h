// One controller of a fleet upgrade as its child's --json events tell it: version, progress, speed, step,
// the last text shown and the exit code.
#pragma once

#include <cstdint>
#include <string>

struct FleetMember {
    std::string strPort;
    std::string strVersion;
    std::string strStep = "starting";
    std::string strLastMessage;
    std::string strCause; // the text before the last one: the failure the last one sums up
    uint64_t nBytes = 0;
    uint64_t nTotal = 0;
    uint64_t nBitsPerSecond = 0;
    int nExitCode = -1; // -1 while the child runs
    bool bResultSeen = false;

    // Takes one event line of the child; false when it is not an event.
    bool TakeEvent(const std::string& line);
    int Percent() const { return nTotal ? static_cast<int>(nBytes * 100 / nTotal) : 0; }
    // The controller's line of the display: port, version, percent, speed, state.
    std::string Line() const;
    // The summary's words for the outcome: the cause and the first line of the last text.
    std::string Outcome() const;
};

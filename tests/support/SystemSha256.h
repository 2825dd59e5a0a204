// The digest the system's own sha256sum gives a file: an outside check of the digests the program records.
#pragma once

#include "support/ProgramOutput.h"

#include <string>

inline std::string SystemSha256(const std::string& path) {
    const SProgramOutput run = RunCapturing({"sha256sum", path});
    return run.nExit == 0 && run.strOut.size() >= 64 ? run.strOut.substr(0, 64)
                                                     : "sha256sum failed: " + run.strErr;
}

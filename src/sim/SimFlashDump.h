// Writes the simulated flash as Motorola S-records: a header, S3 records (32-bit addresses) of up to 32
// data bytes in address order, each run of programmed bytes contiguous, and an S7 end record.
#pragma once

#include "sim/SimFlash.h"

#include <string>

std::string FormatSimFlashSRecords(const SimFlashRuns& runs);
// Writes the text to path (replacing the file); false with a message.
bool WriteSimFlashDump(const std::string& path, const SimFlashRuns& runs, std::string& error);

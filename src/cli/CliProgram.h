// dravik-cli's commands on the engine: builds the application object with the console face, applies the
// options for this run only, and runs one command.
#pragma once

#include "cli/CliEventWriter.h"
#include "cli/CliOptions.h"

#include <string>
#include <vector>

// One thing a command found (a protocol, a version, a state): a "Label: value" line on standard output,
// or a field of the result event with --json.
struct SCliResult {
    std::string strKey;   // the result event's field name
    std::string strLabel; // the line's label
    std::string strValue;
    bool bNumber = false;
};

// events: the --json writer, or null. The exit code; what the command found goes to results.
int RunCliProgram(const CliOptions& options, CCliEventWriter* events, std::vector<SCliResult>& results);

// dravik-cli's commands on the engine: builds the application object with the console face, applies the
// global options for this run only, and runs one command.
#pragma once

#include "cli/CliOptions.h"

int RunCliProgram(const CliOptions& options);

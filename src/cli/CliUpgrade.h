// dravik-cli upgrade FILE [NEXT]: the Upgrade Wizard's road without its pages, on the wizard's own connect
// step, USB restart and result rules; a result the wizard would offer Retry for ends the run with it.
#pragma once

#include "cli/CliOptions.h"
#include "cli/CliProgram.h"

#include <vector>

class CCliEventWriter;
class CConsoleUserInterface;
class CDravikApp;

int RunUpgrade(CDravikApp& app, CConsoleUserInterface& ui, const CliOptions& options, CCliEventWriter* events,
               std::vector<SCliResult>& results);

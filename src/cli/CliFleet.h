// dravik-cli upgrade FILE with several ports: every controller upgraded side by side, each by a
// dravik-cli --json child of its own; one line per controller updated in place, a summary table at the
// end, exit 0 only when every controller succeeded. With --json the children's events come through, each
// tagged with its port. Ctrl-C cancels every child the Cancel way.
#pragma once

#include "cli/CliOptions.h"

class CCliEventWriter;

int RunFleet(const CliOptions& options, CCliEventWriter* events);

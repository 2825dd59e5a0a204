// dravik-cli's "info" command: describes a software image file without a controller: its address
// records with their data, the gaps between them, the total, and the regions a download would erase.
#pragma once

#include "cli/CliEventWriter.h"

#include <string>
#include <vector>

// arguments: the image file's path, alone. Prints to standard output; exit 0, 1 for a file that cannot be
// opened or ends inside an address record, 64 for a wrong argument count.
// events: with --json the description goes out as message events instead.
int RunInfo(const std::vector<std::string>& arguments, CCliEventWriter* events);

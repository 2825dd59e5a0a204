// What reached the simulated controller, read back from its JSON-lines trace as short words in order:
// "+++0" for a command, "D252" for a data frame of 252 bytes, "A00010000" for an address frame with its
// address bytes in hex, "probe D" for a probe; each with "@<speed>" when asked for.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> ReadSimTraceEvents(const std::string& tracePath, bool withSpeed = false);

// dravik-cli ports: the serial ports and controller USB devices of this computer, and whether this user
// may open them.
#pragma once

#include "platform/SystemPaths.h"

#include <cstdio>
#include <string>

// Whether this user may open a device, as a short text: "this user may open it" or why not.
std::string DeviceAccessText(const std::string& devicePath);

int RunPorts(const SSystemPaths& paths, std::FILE* out);

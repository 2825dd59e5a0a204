// dravik-cli doctor: a checklist of everything that decides whether the program reaches a controller,
// for the technician to read or send to support.
#pragma once

#include "platform/SystemPaths.h"

#include <cstdio>
#include <string>

struct SDoctorRequest {
    std::string strSettingsPath;
    std::string strPort; // the port to check; empty: the settings file's
    bool bUsb = false;   // check the USB link whatever the settings say
    std::string strVersion;
};

// 0 when the chosen port (or the controller's USB device) would open, else 1.
int RunDoctor(const SDoctorRequest& request, const SSystemPaths& paths, std::FILE* out);

// The serial mode string ("19200,n,8,1") parsed the way the Windows mode parser reads it.
#pragma once

#include <string>

struct SerialMode {
    unsigned nBaud = 0;
    char cParity = 'n'; // n, e, o, m, s
    int nDataBits = 8;  // 5 to 8
    int nStopBits = 1;  // 1 or 2 (1.5 is taken as 2, as POSIX has no 1.5)
    bool bXonXoff = false;
    bool bHardwareFlow = false;
};

// Accepts "baud,parity,data,stop[,x|p]" (with the old two-digit baud abbreviations such as "96" and "19")
// and the keyword form "baud=19200 parity=N data=8 stop=1", optionally after "COMn:". Returns false for
// anything else and leaves mode untouched.
bool ParseSerialMode(const std::string& text, SerialMode& mode);

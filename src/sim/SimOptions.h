// The simulated controller's behaviour switches: answers, timings, faults and outputs (dxu-sim reads them
// from its command line, the in-process simulator takes them as they are).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class SimFaultKind {
    ErrorOnce,   // the first command of the letter is answered "ERROR"
    ErrorAlways, // every command of the letter is answered "ERROR"
    FailDone,    // the letter is answered "OK" and then "ERROR" instead of "DONE"
    NoAnswer,    // the letter is never answered
    Crlf,        // every answer line ends CR LF
    DropAck,     // frame N (counting from 1) gets no acknowledge
    WrongAck,    // frame N is acknowledged with kSimWrongAck instead of ACK
    IgnoreFrame, // frame N is not even looked at: no acknowledge, no record
    HangUp,      // frame N is not answered: the line hangs up (the pseudo-terminal's master closes)
    Garbage,     // every command and probe is answered with a line of noise
    Silent,      // nothing is ever sent
};

struct SimFault {
    SimFaultKind nKind = SimFaultKind::Silent;
    char cLetter = 0;    // for the letter faults
    unsigned nFrame = 0; // for the frame faults
};

struct SimOptions {
    std::string strProtocol = "PL01"; // answer to "+++D"; empty: no answer until held in the bootstrap
    std::string strVersion = "V2.3";  // answer to "+++C"
    uint32_t nDoneDelayMs = 100;      // between "OK" and "DONE"
    int64_t nResetAfterMs = -1;       // reset this long after an unanswered "+++D" (above the probe
                                      // time-out, or the probe reads the BEL); -1 never
    uint32_t nEscWindowMs = 1000;     // how long after BEL an ESC holds the bootstrap
    unsigned nExpectFrameSpeed = 0;   // frames at another line speed are refused; 0 accepts any
    std::vector<SimFault> faults;
    std::string strTracePath;     // JSON-lines trace; empty: none
    std::string strControlPath;   // UNIX socket for control lines; empty: none
    double dClockSpeed = 1.0;     // speed factor of the program's clock (dxu-sim only)
    bool bPace = false;           // take each received byte only after its wire time at the line speed
    std::string strFlashDumpPath; // S-records of the programmed flash, written at exit and on "dump"
    bool bReceiveFiles = false;   // "+++5" is followed by '*' and a ZModem transfer (through rz)
    bool bConsole = false;        // other bytes (and an ESC outside the reset window) go to the console
    std::string strReceiveDir;    // where those files are stored; empty: a temporary folder
    // dxu-sim --count: how many controllers to serve, and faults for one of them (index from 1).
    unsigned nCount = 1;
    std::vector<std::pair<unsigned, SimFault>> controllerFaults;
};

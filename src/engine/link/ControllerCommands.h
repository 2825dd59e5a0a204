// The controller's commands: the code callers name, the letter that completes "+++" on the wire, whether a
// second answer "DONE" follows the "OK", and whether the exchange raises the read time-out meanwhile.
#pragma once

enum EControllerCommand : int {
    CommandLoadSoftware = 1,      // the image load
    CommandEraseOs = 2,           // operating system
    CommandEraseCommBoard = 3,    // communication board firmware (Veloria files)
    CommandEraseLonDatabase = 4,  // LON network database
    CommandEraseParameterRam = 5, // parameter memory
    CommandLoadFile = 6,          // a file load by ZModem
    CommandRestart = 7,           // restart the controller
    CommandEraseApplication = 8,  // application, and the configuration files with it
    CommandEraseApplicationAfterOs = 9,
    CommandRs232Os = 10, // how the controller uses its RS-232 port
    CommandRs232Application = 11,
    CommandRs232TcpServer = 12,
    CommandRs232TcpClient = 13,
    CommandIrOs = 14, // how the controller uses its infrared port
    CommandIrApplication = 15,
    CommandIrTcpServer = 16,
    CommandIrTcpClient = 17,
};

struct ControllerCommand {
    int nCode;
    char cLetter;
    bool bAwaitsDone;    // "OK" is followed by "DONE" once the controller has finished
    bool bRaisesTimeout; // the exchange waits for that "DONE" with the long read time-out
};

inline constexpr ControllerCommand kControllerCommands[] = {
    {CommandLoadSoftware, '4', false, false},
    {CommandEraseOs, '0', true, true},
    {CommandEraseCommBoard, 'A', true, true},
    {CommandEraseLonDatabase, 'B', true, true},
    {CommandEraseParameterRam, '3', true, false},
    {CommandLoadFile, '5', false, false},
    {CommandRestart, '7', false, false},
    {CommandEraseApplication, '2', true, true},
    {CommandEraseApplicationAfterOs, '1', true, true},
    {CommandRs232Os, 'E', false, false},
    {CommandRs232Application, 'F', false, false},
    {CommandRs232TcpServer, 'H', false, false},
    {CommandRs232TcpClient, 'G', false, false},
    {CommandIrOs, 'I', false, false},
    {CommandIrApplication, 'J', false, false},
    {CommandIrTcpServer, 'L', false, false},
    {CommandIrTcpClient, 'K', false, false},
};

// The table's row for a code; nullptr for a code the controller does not know.
constexpr const ControllerCommand* FindControllerCommand(int code) {
    for (const ControllerCommand& command : kControllerCommands) {
        if (command.nCode == code)
            return &command;
    }
    return nullptr;
}

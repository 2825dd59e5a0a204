// What the user-interface port's dialogs edit: Port Setup, Erase Memory and Controller Options.
#pragma once

#include <string>
#include <vector>

// What the Port Setup dialog edits: the port text and the link choice (0 COM, 1 USB).
struct CommDialogData {
    std::string strPort;
    int nLinkChoice = 0;
    std::string strCurrentPort;           // the application's port name, for the initial selection
    std::vector<std::string> devicePorts; // this computer's serial ports, listed after COM1..COM9
};

// The Erase Memory dialog's check boxes, top to bottom, which is the order their areas are erased in.
enum class EEraseArea { Application, Configuration, Parameter, Veloria, Lon };
constexpr int kEraseAreaCount = 5;
constexpr int EraseAreaIndex(EEraseArea area) {
    return static_cast<int>(area);
}

// What the Erase Memory dialog edits: the connection state it is shown for (2 relabels the boxes and
// disables Parameter Memory and LON Network Database) and one tick per box, Application first.
struct EraseDialogData {
    int nKind = 1;
    bool bArea[kEraseAreaCount] = {};

    bool& Ticked(EEraseArea area) { return bArea[EraseAreaIndex(area)]; }
    bool Ticked(EEraseArea area) const { return bArea[EraseAreaIndex(area)]; }
};

// What the Controller Options dialog edits: the chosen radio button of each port's group (0 "OS
// Configured", 1 "Application Configured", 2 "TCP/IP Client", 3 "TCP/IP Server"), -1 for none.
struct OptionsDialogData {
    int nRs232Choice = -1;
    int nIrChoice = -1;
};

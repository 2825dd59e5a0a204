// dravik-cli's "terminal" command: terminal mode on the console. The controller's bytes (and the capture's
// screen texts) go to standard output as they come, keys go to the controller as they are pressed; Ctrl-]
// (or the end of standard input, or a first signal) leaves, and the console's settings come back on every
// way out. A diagnostic dump is captured into the --capture file as in the desktop's terminal mode.
#pragma once

class CDravikApp;
class CConsoleUserInterface;
class CCliSignalCancel;

constexpr unsigned char kTerminalLeaveKey = 0x1D; // Ctrl-]

// The exit code: 0 when left, 1 when terminal mode could not start or the port went away.
int RunTerminal(CDravikApp& app, CConsoleUserInterface& ui, CCliSignalCancel& signals);

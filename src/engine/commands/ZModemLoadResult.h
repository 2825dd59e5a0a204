// What a ZModem transfer's result means for a load: the message that says what went wrong, and the load
// result code that the wizard and the command line read. The configuration download and the text file
// branch share it.
#pragma once

class IUserInterface;

// The load result of a transfer that ended with the given ZModemResult: kConfigLoadDone for success (no
// message; the caller reports it), otherwise the failure's code after its message.
int ZModemLoadResult(IUserInterface& ui, int transfer);

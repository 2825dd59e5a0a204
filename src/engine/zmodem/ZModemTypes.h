// The result codes a ZModem transfer leaves and the option words its callers pass.
#pragma once

// Result codes of a transfer; 1 and 4 share the code space with the callers' own but are never left by
// the sender.
enum ZModemResult : int {
    ZModemOk = 0,
    ZModemNoComPort = 1,
    ZModemCannotOpenFile = 2,
    ZModemNoResponse = 3,
    ZModemContactLost = 4,
    ZModemTooManyErrors = 5,
    ZModemCancelled = 6,
    ZModemSkipped = 7,
};

// Three option words: force CRC-16 (non-zero: CRC-16 headers and subpackets, else CRC-32), a word the
// transfer does not use, and the subpacket size (0: 1024).
struct ZModemOptions {
    int nForceCrc16 = 0;
    int nSecondFlag = 0;
    int nSubpacketSize = 0;
};

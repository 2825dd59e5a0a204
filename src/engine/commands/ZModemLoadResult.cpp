#include "engine/commands/ZModemLoadResult.h"

#include "engine/app/UserInterface.h"
#include "engine/zmodem/ZModemTypes.h"

int ZModemLoadResult(IUserInterface& ui, int transfer) {
    switch (transfer) {
    case ZModemOk:
        return 3;
    case ZModemNoComPort:
        ui.MessageBox("Cannot access COM port.");
        return 4;
    case ZModemCannotOpenFile:
        ui.MessageBox("Cannot open file.");
        return 7;
    case ZModemNoResponse:
        ui.MessageBox("No response from slave.");
        return 8;
    case ZModemContactLost:
        ui.MessageBox("Contact with slave lost.");
        return 8;
    case ZModemTooManyErrors:
        ui.MessageBox("Too many communications errors. Check connection.");
        return 9;
    case ZModemCancelled:
        ui.MessageBox("Transfer cancelled by user.");
        return 5;
    case ZModemSkipped:
        ui.MessageBox("File skipped.");
        return 13;
    default:
        return -1;
    }
}

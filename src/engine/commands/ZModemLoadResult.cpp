#include "engine/commands/ZModemLoadResult.h"

#include "engine/app/ResultCodes.h"
#include "engine/app/UserInterface.h"
#include "engine/zmodem/ZModemTypes.h"

namespace {

struct ZModemLoadRow {
    int nTransfer;        // a ZModemResult
    const char* pMessage; // shown before the load result is returned; none for success
    int nLoadResult;
};

constexpr ZModemLoadRow kZModemLoadRows[] = {
    {ZModemOk, nullptr, kConfigLoadDone},
    {ZModemNoComPort, "Cannot access COM port.", kConfigComPortFailed},
    {ZModemCannotOpenFile, "Cannot open file.", kConfigFileNotOpened},
    {ZModemNoResponse, "No response from slave.", kConfigRefused},
    {ZModemContactLost, "Contact with slave lost.", kConfigRefused},
    {ZModemTooManyErrors, "Too many communications errors. Check connection.", kConfigTooManyErrors},
    {ZModemCancelled, "Transfer cancelled by user.", kConfigCancelled},
    {ZModemSkipped, "File skipped.", kConfigSkipped},
};

} // namespace

int ZModemLoadResult(IUserInterface& ui, int transfer) {
    for (const ZModemLoadRow& row : kZModemLoadRows) {
        if (row.nTransfer != transfer)
            continue;
        if (row.pMessage)
            ui.MessageBox(row.pMessage);
        return row.nLoadResult;
    }
    return kConfigUnknown;
}

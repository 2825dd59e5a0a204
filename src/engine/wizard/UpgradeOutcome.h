// What the Upgrade Wizard makes of a finished load: the end of the upgrade, another file, a COM port
// failure, or a box that offers Retry (back to the cable page or to the file type page). The wizard's
// worker and the console's upgrade command both follow these rules.
#pragma once

#include "engine/app/UserInterface.h"

enum class EUpgradeStep {
    Done,         // "Download OK!": the upgrade is complete
    AnotherFile,  // the controller needs a configuration file as well
    PortFailed,   // the COM port could not be opened
    Retry,        // a failure whose box offers Retry
    ProgramError, // a result the wizard does not expect
};

struct UpgradeOutcome {
    EUpgradeStep nStep = EUpgradeStep::ProgramError;
    const char* pszText = nullptr; // the box's text; null for AnotherFile and PortFailed
    EMsgIcon nIcon = EMsgIcon::None;
    bool bRetryFromFileType = false; // Retry goes to the file type page, not the cable page
};

// An image download's result code, read with the connection state.
UpgradeOutcome ImageUpgradeOutcome(int loadResult, int connectState);
// A configuration download's result code.
UpgradeOutcome ConfigurationUpgradeOutcome(int loadResult);

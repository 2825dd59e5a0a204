// The texts of the port's dialogs that a face shows in its own window, or in a message box when it has
// no such window: one copy for both.
#pragma once

constexpr const char* kEraseOkQuestion =
    "This will erase old data on controller.\nDo you really want to continue?";
constexpr const char* kRenameOkQuestion =
    "The file you've selected is not called \"config.dat.\"  Do you wish to rename it?  The controller may "
    "have difficulty if the name is not correct.";
constexpr const char* kWizardCaption = "Upgrade Wizard";
constexpr const char* kWizardPowerCycleNotice = "Cycle power (OFF/ON) to the controller.";

#include "engine/wizard/UpgradeOutcome.h"

#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"

namespace {

constexpr const char* kImageDownloadOk = "Download OK!\n \nThe Upgrade Wizard is complete.\nDisconnect the "
                                         "PC and cycle the controller power OFF/ON";
constexpr const char* kProgramError = "Upgrade Wizard program error!  Restart the Upgrade Wizard.";
constexpr const char* kFileOpenError =
    "Error opening the selected file.  The file may be corrupt.\n\nClick 'Retry' to retry opening the file "
    "and "
    "downloading.\n\nIf the problem persists then exit the Upgrade Wizard and\nget a new copy of the file.";

UpgradeOutcome Retry(const char* text, bool fromFileType = false, EMsgIcon icon = EMsgIcon::Warning) {
    return {EUpgradeStep::Retry, text, icon, fromFileType};
}

} // namespace

UpgradeOutcome ImageUpgradeOutcome(int loadResult, int connectState) {
    switch (loadResult) {
    case kLoadDoneOsAndApplication:
    case kLoadDoneApplication:
        return {EUpgradeStep::Done, kImageDownloadOk, EMsgIcon::Question};
    case kLoadDoneOther:
        if (connectState == ConnectBootstrap)
            return {EUpgradeStep::Done, kImageDownloadOk, EMsgIcon::Question};
        return {EUpgradeStep::AnotherFile};
    case kLoadComPortFailed:
        return {EUpgradeStep::PortFailed};
    case kLoadCancelled:
        return Retry(
            "Download canceled by user!\n \nDo you want to retry the download?  Click\n'Retry' to retry the "
            "download, or 'Cancel'\nto exit the Upgrade Wizard",
            false, EMsgIcon::Question);
    case kLoadEraseRefused:
        return Retry(
            "Error erasing controller memory prior to download!\n  \nThis may be due to a bad serial "
            "connection to the\ncontroller or faulty controller hardware.\n\nClick 'Retry' to retry opening "
            "the file and downloading.\n\nIf the problem persists then recheck the serial cable\nor replace "
            "the controller.");
    case kLoadFileNotOpened:
        return Retry(kFileOpenError, true);
    case kLoadRefused:
        return Retry(
            "Error controller rejected software download command!\n \nThis may be due to a bad serial "
            "connection to the controller\nor faulty controller hardware.\n \nClick 'Retry' to retry the "
            "download. \n \nIf the problem persists recheck the serial cable or replace\nthe controller.");
    case kLoadBaudChangeFailed:
        return Retry(
            "Error changing the PC's serial port baud rate!\n \nThis may be due to a bad PC serial port or "
            "another program\nhaving the serial port open.  Close all other programs and\nretry "
            "downloading.\n \nClick 'Retry' to retry the download.\n \nIf the problem persists try using a "
            "different PC.");
    case kLoadUnexpectedEnd:
        return Retry(
            "Error processing the selected file!\n \nThe file may be corrupt.\n \nClick 'Retry' to retry "
            "the download. \n \nIf the problem persists then exit the Upgrad Wizard and\nget a new copy of "
            "the file.",
            true);
    default:
        return {EUpgradeStep::ProgramError, kProgramError};
    }
}

UpgradeOutcome ConfigurationUpgradeOutcome(int loadResult) {
    switch (loadResult) {
    case kConfigLoadDone:
        return {EUpgradeStep::Done,
                "Download OK!\n \nThe Upgrade Wizard is complete.\nDisconnect the PC and cycle the "
                "controller power "
                "OFF/ON.",
                EMsgIcon::Information};
    case kConfigComPortFailed:
        return {EUpgradeStep::PortFailed};
    case kConfigCancelled:
        return Retry(
            "Download canceled by user!\n \nDo you want to retry the download?  Click\n'Retry' to retry the "
            "download, or 'Cancel'\n'to exit the Upgrade Wizard",
            false, EMsgIcon::Question);
    case kConfigEraseRefused:
        return Retry(
            "Error erasing controller memory prior to download!\n  \nThis may be due to an intermitten "
            "serial connection to\nthe controller or faulty controller hardware.\n\nClick 'Retry' to retry "
            "opening the file and downloading.\n\nIf the problem persists then recheck the serial cable or "
            "\nreplace the controller.");
    case kConfigFileNotOpened:
        return Retry(kFileOpenError, true);
    case kConfigRefused:
    case kConfigSkipped:
        return Retry(
            "Error controller rejected software download command!\n \nThis may be due to a bad serial "
            "connection to the controller\nor faulty controller hardware.\n \nClick 'Retry' to retry the "
            "download.\n \nIf the problem persists recheck the serial cable or replace the controller");
    case kConfigTooManyErrors:
        return Retry(
            "Error too many communication errors.!\n \nThis may be due to a bad or intermitten serial "
            "port\ncable.  Verify the cable is not defective.  If available\ntry a second cable.\n \nClick "
            "'Retry' to retry the download.\n \nIf the problem persists try using a different PC.");
    case kConfigCopyFailed:
        return Retry(
            "Error renaming file!\n \nThe file may be corrupt.\n \nClick 'Retry' to retry the download.\n "
            "\nIf the problem persists then exit the Wizard and\nget a new copy of the file.",
            true);
    default:
        return {EUpgradeStep::ProgramError, kProgramError};
    }
}

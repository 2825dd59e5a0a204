// The messages that more than one command, link or face shows: one copy of each.
#pragma once

constexpr const char* kProgramTitle = "Arvenco Dravik Download Utility";

constexpr const char* kNoSerialLink =
    "No serial link available! Please select one or check if USB connected.";
constexpr const char* kNoLinkKindChosen = "No COM or USB selected";
constexpr const char* kComPortOpenFailed = "Error opening specified COM port.";
constexpr const char* kComPortReadFailed = "Error reading COM port.";
constexpr const char* kUsbReadFailed = "Error reading from USB link.";
constexpr const char* kUsbOpenFailed =
    "Opening USB device failed!\nThe USB device may be used by other Application!";
constexpr const char* kUsbCloseFailed = "Closing USB device failed!";

constexpr const char* kOsEraseRefused = "Slave rejected erasure of OS.";
constexpr const char* kApplicationEraseRefused = "Slave rejected erasure of application.";
constexpr const char* kLoadCommandRefused = "Slave rejected software load command.";
constexpr const char* kEraseWaitCaption = "Erasing...";
constexpr const char* kEraseWaitText = "Please wait while memory is erased.";
constexpr const char* kRestartQuestion = "Should the controller be restarted now?";

constexpr const char* kInputFileNotOpened = "Cannot open input file.";
constexpr const char* kImageFileNotWritten = "Cannot write the image file.";

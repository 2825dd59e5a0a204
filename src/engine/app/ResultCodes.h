// The named codes that pass between the commands, the Upgrade Wizard and the command line: load types
// and kinds, the results of an image load and of a configuration (ZModem) load, and the wizard's connect
// results. They stay plain numbers: atomics hold them and the command line passes them on as exit codes.
#pragma once

// The files the Load dialog offers (m_nLoadType).
constexpr int kLoadTypeImage = 0;
constexpr int kLoadTypeConfiguration = 1;
constexpr int kLoadTypeAny = 2;
constexpr int kLoadTypeImageOrConfiguration = 3;

// The transfer the last load ran (m_nLastLoadKind).
constexpr int kLoadKindImage = 0;
constexpr int kLoadKindConfiguration = 1;

// Results of an image download (m_nLastLoadResult after an image load).
constexpr int kLoadPending = -1;
constexpr int kLoadDoneOsAndApplication = 1;
constexpr int kLoadDoneOther = 2;
constexpr int kLoadDoneApplication = 3;
constexpr int kLoadComPortFailed = 4;
constexpr int kLoadCancelled = 5;
constexpr int kLoadEraseRefused = 6;
constexpr int kLoadFileNotOpened = 7;
constexpr int kLoadRefused = 8;
constexpr int kLoadBaudChangeFailed = 10;
constexpr int kLoadUnexpectedEnd = 11;
constexpr int kLoadNoLink = 14;

// Results of a configuration or text file download by ZModem (m_nLastLoadResult after such a load).
constexpr int kConfigLoadDone = 3;
constexpr int kConfigComPortFailed = 4;
constexpr int kConfigCancelled = 5;
constexpr int kConfigEraseRefused = 6;
constexpr int kConfigFileNotOpened = 7;
constexpr int kConfigRefused = 8; // load command refused, no response or contact lost
constexpr int kConfigTooManyErrors = 9;
constexpr int kConfigCopyFailed = 12;
constexpr int kConfigSkipped = 13;
constexpr int kConfigNoLink = 14;
// A transfer result the table does not know.
constexpr int kConfigUnknown = -1;

// Results of the Upgrade Wizard's connect step.
constexpr int kConnectDone = 1;
constexpr int kConnectPortFailed = 2;
constexpr int kConnectNoController = 3; // also when the wizard is stopped meanwhile
constexpr int kConnectNoLinkChosen = 14;
constexpr int kConnectNoUsb = 15;

// Results of the USB restart check before a connect; any other value is the control exchange's failure.
constexpr int kRestartNotNeeded = 0;
constexpr int kRestartStarted = 1;
constexpr int kRestartRejected = 2;       // the controller is in its RUN state
constexpr int kRestartBootstrapNoUsb = 3; // the bootstrap is too old for USB
constexpr int kRestartExchangeFailed = 15;
// The wizard was stopped while it waited for the restarted controller.
constexpr int kRestartStopped = -1;

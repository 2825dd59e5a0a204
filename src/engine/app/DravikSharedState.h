// The application state that more than one thread touches: the user-interface thread, the image
// download's worker, the Upgrade Wizard's worker and the USB watch. Each member says who writes it and who
// reads it; what crosses threads is atomic, behind a lock, or handed over before its reader starts.
#pragma once

#include "engine/app/ResultCodes.h"
#include "engine/link/UsbHidDevice.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

constexpr int ConnectNone = 0;
constexpr int ConnectBios = 1;
constexpr int ConnectBootstrap = 2;

struct SDravikSharedState {
    // Written by the user-interface thread, read by every thread: disables the commands that would
    // disturb a running wizard or download.
    std::atomic<bool> m_bWizardRunning{false};
    std::atomic<bool> m_bDownloadRunning{false};
    // The folder and file of a load named on the command line; set at start-up, read by the UI thread.
    std::string m_strLoadDir;
    // Set at start-up (and by tests before anything runs); read by the UI thread.
    std::string m_strSettingsPath = "Dravik.cfg";
    // The file being loaded: written by the UI thread before it starts the download's worker, which reads
    // them; no load starts while a download runs.
    std::string m_strPathName;
    std::string m_strFileName;
    // The COM port's name: written on the UI thread (Port Setup, settings) and read by the wizard's
    // worker too; both go through m_portLock once threads run (start-up assigns it directly).
    std::string m_strPort;
    mutable std::mutex m_portLock;
    // The wizard setting from the settings file; start-up and the UI thread only.
    std::string m_strWizard;
    // Set by the UI thread to start the wizard from the idle pass, which clears it.
    std::atomic<bool> m_bWizardRequest{false};
    // Start-up only, then read by the UI thread.
    bool m_bDebug = false;
    // Opened and closed on the UI thread; the link of whichever thread runs a command uses it (it locks
    // its own state).
    CUsbHidDevice m_usbDevice;
    // Written by whoever asked the controller to restart (UI or wizard worker), cleared by the idle pass.
    std::atomic<bool> m_bRestartPending{false};
    std::atomic<uint32_t> m_dwRestartTick{0};
    // The wizard's worker asks for a load (m_bLoadRequest, m_nLoadType) and the idle pass on the UI
    // thread answers (m_bLoadOk, then clears m_bLoadRequest).
    std::atomic<int> m_bLoadRequest{0};
    std::atomic<int> m_bLoadOk{0};
    std::atomic<int> m_nLoadType{0};
    // Start-up only (the BIOS update tool's key), then read by the UI thread.
    bool m_bBiosTool = false;
    // Terminal mode: written by the UI thread, read by the workers before they take the link.
    std::atomic<int> m_nTerminalMode{0};
    // Written by Connect (UI thread) or the wizard's worker, read by every thread.
    std::atomic<int> m_nConnectState{ConnectNone};
    // Written by the thread that ran the last load (download worker or UI thread), read by the wizard's
    // worker and the command line.
    std::atomic<int> m_nLastLoadResult{kLoadPending};
    std::atomic<int> m_nLastLoadKind{kLoadKindImage};
    // The controller's texts from the last connect: written by Connect (UI thread) or the wizard's worker
    // under m_controllerTextLock, read under it by other threads.
    char m_szVersion[5] = {};
    char m_szProtocol[5] = {};
    mutable std::mutex m_controllerTextLock;
    // Service records: turned off at start-up (the console's --no-record) or by tests, read by whichever
    // thread opens a record.
    std::atomic<bool> m_bRecording{true};
    // The program the records name (by default the running program file's name); set at start-up, read by
    // whichever thread ends a record.
    std::string m_strProgramName;
};

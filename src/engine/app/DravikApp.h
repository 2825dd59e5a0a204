// The application object: settings, the state the threads share (SDravikSharedState), every command
// handler and the idle logic. The desktop window, the console program and the tests each drive one.
#pragma once

#include "engine/app/DravikSharedState.h"
#include "engine/link/LinkContext.h"
#include "engine/terminal/TerminalScreen.h"
#include "platform/UniqueFd.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CDownload;
class CRecordingUserInterface;
class CServiceVisit;
class CWizard;
class CSerialHandler;
class IUserInterface;
struct EraseDialogData;
struct OptionsDialogData;

class CDravikApp : public CLinkContext, public SDravikSharedState {
public:
    explicit CDravikApp(IUserInterface* ui);
    ~CDravikApp() override;
    CDravikApp(const CDravikApp&) = delete;
    CDravikApp& operator=(const CDravikApp&) = delete;

    // Start-up without the window: BIOS tool check, settings path from the program file's path, settings,
    // the command-line file, the USB check and the first status refresh. Always true.
    bool InitInstance(const std::string& programPath, const std::string& commandLineFile);

    // One idle pass; true asks for more idle calls.
    bool OnIdle(long count);

    // Settings file.
    static std::string SettingsPathFor(const std::string& programPath);
    void LoadSettings();
    void SaveSettings();

    void SetPortName(const std::string& name);
    void UseUsb();
    void UseCom();

    // Posts a status refresh to the user-interface thread; OnStatusRefresh rewrites the panes there.
    void RefreshStatus();
    void OnStatusRefresh();
    std::string MessagePaneText() const;
    std::string LinkPaneText() const;

    // Command routing: run a menu command, and its enable and check rules on the current state.
    void OnCommand(int commandId);
    bool IsCommandEnabled(int commandId) const;
    bool IsCommandChecked(int commandId) const;

    // Connect to controller: the command, the protocol-text parser and the USB restart check.
    void OnConnect();
    void ParseProtocolVersion(const char* text);
    int UsbRestartCheck();

    // Load command: the file dialog of the type, then LoadChosenFile. True when a transfer was started or
    // carried out.
    void OnLoad();
    bool LoadFile(int type);
    // The Load command for a file already chosen (the console passes its argument here).
    bool LoadChosenFile(const std::string& path);
    // Starts the image download of m_strPathName on its worker and returns at once.
    void StartImageDownload();
    // The "txt" branch: a ZModem send after the controller's '*', without a load command. 14 without a
    // link, 4 when the COM port does not open, else the transfer's load result (3 when it went through;
    // a failure is shown and gets the configuration download's code).
    int DownloadOtherFile(const std::string& path, const std::string& name);
    // The configuration download of a page, HTML, GIF or Neuron file; its result code.
    int DownloadConfigFile(std::string path, std::string name);
    // Copies a file with its time stamps and permissions; 1, or 0 after showing why not.
    int CopyFileTo(const std::string& source, const std::string& destination, size_t bufferSize);
    // Collects the image download's worker once it has ended (the thread that started it calls this).
    void WaitForDownload();
    // Waits until the download started last has ended, from any thread (the wizard's worker waits here).
    void WaitForDownloadEnd();

    // The Upgrade Wizard command, and the faces that have no wizard pages (the console) forgo its start.
    void OnUpgradeWizard();
    void ForgoWizardStart() { m_bFirstIdle = false; }
    // The download window's Cancel, for faces that cancel without the window (and the program's end).
    void CancelDownload();

    // Erase Memory: one controller command per chosen area, over the COM port whatever the link kind.
    // EraseMemory asks the dialog when chosen is null and takes the areas as given otherwise (the console
    // passes its arguments); false when the port could not be opened or a command failed.
    void OnEraseMemory();
    bool EraseMemory(const EraseDialogData* chosen);
    // Controller Options: one command per port with a choice, over the COM port; the same split.
    void OnControllerOptions();
    bool SetControllerOptions(const OptionsDialogData* chosen);
    // Convert: the file dialogs, then ConvertFile; ConvertFile turns an S-record file into an image with
    // the "File Progress" window and its messages, false after any failure.
    void OnConvert();
    // wholeOrNothing: the image is written beside the output under a temporary name and takes the output's
    // name only when complete, so a failure leaves no partial image and an older file as it was (the
    // command line); the window keeps what was converted before a fault.
    bool ConvertFile(const std::string& inputPath, const std::string& outputPath,
                     bool wholeOrNothing = false);
    // The image name the Convert command suggests for an S-record file's name (APP.bin gives APP.img).
    static std::string DefaultImageName(const std::string& inputName);

    // Port Setup, About and Update BIOS.
    void OnPortSetup();
    void OnAbout();
    void OnUpdateBios();
    // Whether the BIOS update tool's registry key exists (start-up).
    static bool IsBiosToolInstalled();

    // Milliseconds until a pending reconnect is due (0 when none is pending or it is due now), so that a
    // face can schedule its next idle pass instead of spinning.
    uint32_t ReconnectDueInMs() const;
    // One received terminal byte: to the screen unless a capture holds it, then to the capture.
    void DeliverTerminalByte(uint8_t byte);
    // Ends terminal mode when it is on: clears and blanks the screen, closes the terminal link, refreshes
    // the status. Commands that need the link call it first.
    void SwitchTerminalModeOff();
    // Terminal mode on (1) or off (0), and the Terminal Mode command that toggles it.
    void SetTerminalMode(int on);
    void OnTerminalMode();
    // Keystrokes to the controller while terminal mode is on.
    void SendTerminalByte(uint8_t byte);
    void SendTerminalBytes(const uint8_t* data, size_t count);
    // The diagnostic capture: every received byte passes here; the new capture busy value.
    int CaptureByte(uint8_t byte);
    bool AskCaptureFile();

    // USB presence (device arrival and removal notifications come here).
    void CheckUsbDevice();
    void OnUsbDeviceRemoved();
    void SetUsbPresent(bool present);
    int ControlExchange(uint8_t first, uint8_t second, uint8_t& state, uint8_t answer[5], uint32_t timeoutMs);
    // Follows USB device arrivals and removals (posted to the user-interface thread) until the object ends.
    void WatchUsbDevices();

    // Builds the link a command uses: USB when present and chosen, else COM on the port name. Shows
    // "Error opening specified COM port." itself; null when no link could be made (noLinkMessage, when
    // given, is shown when neither transport is chosen).
    std::unique_ptr<CSerialHandler> OpenCommandLink(const char* noLinkMessage, bool overlapped = false);
    // A COM link on the port name at "19200,n,8,1", whatever the link kind; null after showing "Error
    // opening specified COM port.".
    std::unique_ptr<CSerialHandler> OpenComLink(bool overlapped = false);
    // The link a file transfer uses (as Connect opens it), with the usual 20 s read time-out also on a new
    // USB link; null with failure 4 (COM port) or 14 (no link) after the message.
    std::unique_ptr<CSerialHandler> OpenFileTransferLink(int& failure);

    IUserInterface& Ui() const { return *m_pUi; }

    // Service records, one per operation: BeginVisit opens the record of an operation (null while
    // recording is off), EndVisit writes it. A record that cannot be written costs one warning per run.
    std::shared_ptr<CServiceVisit> BeginVisit(const std::string& operation);
    void EndVisit(const std::shared_ptr<CServiceVisit>& visit, int result, bool ok);
    void NoteLinkCommand(int code, bool accepted) override;
    void NoteLinkBytes(uint64_t sent, uint64_t acknowledged) override;

    // The port name under its lock, for any thread.
    std::string PortName() const;
    // The controller's protocol and version texts, stored under their lock (null leaves one as it is),
    // and each text read under it.
    void SetControllerTexts(const char* protocol, const char* version);
    std::string ControllerVersionText() const;
    std::string ControllerProtocolText() const;

    // The terminal's link and the capture's state: the UI thread only.
    std::unique_ptr<CSerialHandler> m_pTermLink;
    int m_nCaptureBusy = 0;
    // The UI thread only.
    bool m_bStatusBarShown = true;
    // This run never writes the settings file (the demo runs on settings of its own).
    bool m_bSettingsReadOnly = false;

    // The terminal's screen model (the view paints it).
    CTerminalScreen m_terminal;

private:
    void PumpTerminal();
    void SendControlByte(uint8_t byte);
    bool MatchPattern(int pattern, uint8_t byte);
    // Writes the captured bytes not yet written; on failure shows why and ends the capture. False then.
    bool FlushCapture();
    // Ends the capture: what was received is written, the file closed, the counters reset.
    void CloseCapture();

    uint8_t m_nLastSent[2] = {0, 0}; // the last byte the user sent, and the one before
    CUniqueFd m_captureFile;
    std::string m_captureBuffer; // bytes of the chunk being pumped, written when the chunk ends
    std::string m_strCapturePath;
    int m_nCaptureLines = 0;
    int m_nPatternPos[5] = {0, 0, 0, 0, 0};
    void DownloadThreadProc(std::shared_ptr<CDownload> download, std::shared_ptr<CServiceVisit> visit);

    std::shared_ptr<CDownload> m_pDownload; // the current download (the window's object)
    std::thread m_downloadThread;
    std::mutex m_downloadEndLock;
    std::condition_variable m_downloadEnded;
    uint64_t m_nDownloadsStarted = 0;
    uint64_t m_nDownloadsEnded = 0;
    std::unique_ptr<CWizard> m_pWizard;
    // The Upgrade Wizard's start and the load it requests from the idle pass.
    void StartWizard();
    int RunRequestedLoad(int loadType);

    // The visit that texts, commands and bytes go to: the one opened last and not yet ended.
    std::shared_ptr<CServiceVisit> CurrentVisit();
    void NoteShownText(const std::string& text);
    // Writes the record of the capture in progress: its file, lines and whether the dump ended.
    void EndCaptureVisit(bool complete);
    bool m_bCaptureComplete = false; // the dump's closing word came: the capture that closes is whole
    std::unique_ptr<CRecordingUserInterface> m_pRecordingUi;
    std::mutex m_visitsLock;
    std::vector<std::shared_ptr<CServiceVisit>> m_visits;
    std::shared_ptr<CServiceVisit> m_pDownloadVisit; // the image download's, ended by its worker
    std::shared_ptr<CServiceVisit> m_pCaptureVisit;
    std::atomic<bool> m_bRecordWarned{false};

    bool m_bFirstIdle = true;
    std::atomic<bool> m_bLoadRunning{false};
    CUsbDeviceWatch m_usbWatch; // last: stops the notifications before anything else ends
};

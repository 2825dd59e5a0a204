// The user-interface port: everything the engine shows or asks goes through this one interface, which
// each face (desktop window, console, tests) implements. Every operation may be called from any thread
// and blocks its caller until the person has answered.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

enum class EMsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class EMsgIcon { None, Information, Warning, Error, Question };

// Answers, numbered as the platform's dialog results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDRETRY = 4;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A file dialog. The filter has the form "Software Files (*.img)|*.img|All Files (*.*)|*.*||".
struct FileDialogRequest {
    bool bOpen = true;
    std::string strTitle;
    std::string strFilter;
    std::string strDefaultExt;
    std::string strInitialDir;
    std::string strInitialName;
};

// The modeless wait window: shown while it exists, closed when destroyed.
class IWaitWindow {
public:
    virtual ~IWaitWindow() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetMessage(const std::string& message) = 0;
};

// What the Port Setup dialog edits: the port text and the link choice (0 COM, 1 USB).
struct CommDialogData {
    std::string strPort;
    int nLinkChoice = 0;
    std::string strCurrentPort;           // the application's port name, for the initial selection
    std::vector<std::string> devicePorts; // this computer's serial ports, listed after COM1..COM9
};

// Control ids of the "File Download" window's fields.
constexpr int IDC_DOWNLOAD_FILENAME = 1010;
constexpr int IDC_DOWNLOAD_PROGRESS = 1011;
constexpr int IDC_DOWNLOAD_SPEED = 1012;
constexpr int IDC_DOWNLOAD_BYTES = 1013;
constexpr int IDC_DOWNLOAD_STATUS = 1014;
constexpr int IDC_DOWNLOAD_ELAPSED = 1015;
constexpr int IDC_DOWNLOAD_REMAINING = 1016;
constexpr int IDC_DOWNLOAD_START = 1017;

// The "File Download" window: text fields by control id, a progress bar (range 0..max, position, step
// amount, step) and a Cancel button. The worker writes it; Close takes it off the screen.
class IDownloadView {
public:
    virtual ~IDownloadView() = default;
    virtual void SetField(int controlId, const std::string& text) = 0;
    virtual void SetProgressRange(uint32_t maximum) = 0;
    virtual void SetProgressPos(uint32_t position) = 0;
    virtual void SetProgressStep(uint32_t amount) = 0;
    virtual void StepProgress() = 0;
    virtual void Close() = 0;
    // The numbers behind the figure texts, after each update of them: for faces that show them their own way.
    virtual void ShowFigures(uint64_t /*bytes*/, uint64_t /*total*/, uint64_t /*bitsPerSecond*/) {}
};

// A download view that shows nothing (a face without a download window).
class CHiddenDownloadView : public IDownloadView {
public:
    void SetField(int, const std::string&) override {}
    void SetProgressRange(uint32_t) override {}
    void SetProgressPos(uint32_t) override {}
    void SetProgressStep(uint32_t) override {}
    void StepProgress() override {}
    void Close() override {}
};

// Control ids of the "ZModem" window: the fields it shares with the "File Download" window, and its
// speed unit button.
constexpr int IDC_ZMODEM_FILENAME = 1010;
constexpr int IDC_ZMODEM_PROGRESS = 1011;
constexpr int IDC_ZMODEM_SPEED = 1012;
constexpr int IDC_ZMODEM_BYTES = 1013;
constexpr int IDC_ZMODEM_ELAPSED = 1015;
constexpr int IDC_ZMODEM_REMAINING = 1016;
constexpr int IDC_ZMODEM_START = 1017;
constexpr int IDC_ZMODEM_UNIT = 1018;

// The modal "ZModem" window of one transfer. The transfer's worker writes the fields and the progress
// bar (range 0..maximum, position) and calls WorkerDone as its last act; RunModal keeps the window up
// and blocks the transfer's caller until WorkerDone and the window's one-second closing pause, then
// takes the window away. The window cannot be closed before that.
class IZModemView {
public:
    virtual ~IZModemView() = default;
    virtual void SetField(int controlId, const std::string& text) = 0;
    virtual void SetProgressRange(uint32_t maximum) = 0;
    virtual void SetProgressPos(uint32_t position) = 0;
    virtual void WorkerDone() = 0;
    virtual void RunModal() = 0;
    // The numbers behind the figure texts, after each update of them: for faces that show them their own way.
    virtual void ShowFigures(uint64_t /*bytes*/, uint64_t /*total*/, uint64_t /*bitsPerSecond*/) {}
};

// A ZModem window that shows nothing but keeps the blocking and the closing pause (engine/zmodem).
std::unique_ptr<IZModemView> MakeHiddenZModemView();

// Control ids of the Erase Memory dialog's check boxes, in the order their areas are erased.
constexpr int IDC_ERASE_APPLICATION = 1005;
constexpr int IDC_ERASE_CONFIGURATION = 1006;
constexpr int IDC_ERASE_PARAMETER = 1007;
constexpr int IDC_ERASE_VELORIA = 1008;
constexpr int IDC_ERASE_LON = 1009;
constexpr int kEraseAreaCount = 5;

// What the Erase Memory dialog edits: the connection state it is shown for (2 relabels the boxes and
// disables Parameter Memory and LON Network Database) and one tick per box, 1005 first.
struct EraseDialogData {
    int nKind = 1;
    bool bArea[kEraseAreaCount] = {};
};

// What the Controller Options dialog edits: the chosen radio button of each port's group (0 "OS
// Configured", 1 "Application Configured", 2 "TCP/IP Client", 3 "TCP/IP Server"), -1 for none.
struct OptionsDialogData {
    int nRs232Choice = -1;
    int nIrChoice = -1;
};

// The "File Progress" window of the S-record conversion: a progress bar from 0 to a maximum, advanced
// one step at a time. Shown while it exists.
class IProgressView {
public:
    virtual ~IProgressView() = default;
    virtual void SetProgressRange(uint32_t maximum) = 0;
    virtual void StepProgress() = 0;
};

class CHiddenProgressView : public IProgressView {
public:
    void SetProgressRange(uint32_t) override {}
    void StepProgress() override {}
};

// Results of the Upgrade Wizard's pages (besides IDCANCEL).
constexpr int kWizardNext = 101;
constexpr int kWizardTryAgain = 102;
constexpr int kWizardComPort = 103;

// What a wizard page shows and returns: the welcome page's check box, the file type page's choice
// (0 image, 1 page file).
struct WizardPageData {
    bool bShowAtStartup = true;
    int nFileType = 0;
};

class IUserInterface {
public:
    virtual ~IUserInterface() = default;

    // A message box with "Dravik" as caption; returns IDOK, IDCANCEL, IDRETRY, IDYES or IDNO.
    virtual int MessageBox(const std::string& text, EMsgButtons buttons = EMsgButtons::Ok,
                           EMsgIcon icon = EMsgIcon::None) = 0;

    // A failure's message box (OK button) followed by why it happened and how to fix it, one line each: a
    // window shows them under the text, a console on the next lines. A face without a place for them
    // puts them into the text after a blank line.
    virtual void MessageBoxWithReason(const std::string& text, const std::vector<std::string>& reason) {
        std::string full = text;
        for (size_t i = 0; i < reason.size(); ++i)
            full += (i == 0 ? "\n\n" : "\n") + reason[i];
        MessageBox(full);
    }

    // Runs a task later on the user-interface thread, in the order posted (status refreshes, posted
    // commands). Never runs it inside the call.
    virtual void Post(std::function<void()> task) = 0;

    // Posts a menu command as if the person had chosen it (the delayed reconnect). run carries it out; a
    // face with a main window routes it like a menu command instead (off its GUI thread when it talks to
    // the controller).
    virtual void PostCommand(int commandId, std::function<void()> run) {
        (void)commandId;
        Post(std::move(run));
    }

    // A text in the status bar's message pane alone (until the next refresh or menu prompt).
    virtual void ShowStatusMessage(const std::string& text) { (void)text; }

    // Work that talks to the controller on behalf of the idle pass (the wizard's load request): done at once
    // here; a face that keeps its window painting runs it off its own thread and returns at once.
    virtual void RunControllerWork(std::function<void()> work) { work(); }

    // Rewrites the status bar: the message pane and the link pane.
    virtual void ShowStatus(const std::string& messagePane, const std::string& linkPane) = 0;

    // A file open or save dialog; false when cancelled.
    virtual bool GetFileName(const FileDialogRequest& request, std::string& path) = 0;

    // Shows the wait window at once.
    virtual std::unique_ptr<IWaitWindow> CreateWaitWindow(const std::string& caption,
                                                          const std::string& message) = 0;

    // The Port Setup dialog; true when it ended with OK (data then holds the choice).
    virtual bool RunCommDialog(CommDialogData& data) = 0;

    // The About box with its version text.
    virtual void RunAboutDialog(const std::string& versionText) = 0;

    // The "File Download" window, shown at once; onCancel runs (on the user-interface thread) when the
    // person presses Cancel or closes it. Faces without such a window show nothing.
    virtual std::unique_ptr<IDownloadView> CreateDownloadView(std::function<void()> onCancel) {
        (void)onCancel;
        return std::make_unique<CHiddenDownloadView>();
    }

    // The "ZModem" window, shown modally at once; onCancel (Cancel, Escape, the close box) and
    // onToggleUnit ("&bps/cps") run on the user-interface thread. Faces without it show nothing.
    virtual std::unique_ptr<IZModemView> CreateZModemView(std::function<void()> onCancel,
                                                          std::function<void()> onToggleUnit) {
        (void)onCancel;
        (void)onToggleUnit;
        return MakeHiddenZModemView();
    }

    // The erase confirmation "Erase Memory" (Yes/No); true for Yes. A face without that dialog asks the
    // same question in a message box.
    virtual bool RunEraseOkDialog() {
        return MessageBox("This will erase old data on controller.\nDo you really want to continue?",
                          EMsgButtons::YesNo, EMsgIcon::Question) == IDYES;
    }

    // The question "Rename Configuration File" (Yes/No) before a configuration file not named config.dat
    // is sent; true for Yes. A face without that dialog asks the same question in a message box.
    virtual bool RunRenameOkDialog() {
        return MessageBox(
                   "The file you've selected is not called \"config.dat.\"  Do you wish to rename it?  The "
                   "controller may have difficulty if the name is not correct.",
                   EMsgButtons::YesNo, EMsgIcon::Question) == IDYES;
    }

    // The Erase Memory dialog; true when it ended with OK (data then holds the ticks). A face without
    // the dialog chooses nothing.
    virtual bool RunEraseDialog(EraseDialogData& data) {
        (void)data;
        return false;
    }

    // The Controller Options dialog; true when it ended with OK (data then holds the choices). A face
    // without the dialog chooses nothing.
    virtual bool RunOptionsDialog(OptionsDialogData& data) {
        (void)data;
        return false;
    }

    // The "File Progress" window, shown at once until the object goes.
    virtual std::unique_ptr<IProgressView> CreateProgressView() {
        return std::make_unique<CHiddenProgressView>();
    }

    // One of the Upgrade Wizard's modal pages (1, 2, 4, 5 or 6); kWizardNext, kWizardTryAgain,
    // kWizardComPort or IDCANCEL. A face without wizard pages cancels.
    virtual int RunWizardPage(int page, WizardPageData& data) {
        (void)page;
        (void)data;
        return IDCANCEL;
    }
    // The wizard's modeless notice while it waits for the controller's power cycle; closed when destroyed.
    virtual std::unique_ptr<IWaitWindow> ShowWizardNotice() {
        return CreateWaitWindow("Upgrade Wizard", "Cycle power (OFF/ON) to the controller.");
    }
};

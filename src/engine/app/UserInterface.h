// The user-interface port: everything the engine shows or asks goes through this one interface, which
// each face (desktop window, console, tests) implements. Every operation may be called from any thread
// and blocks its caller until the person has answered. Every operation is pure here, so a face that
// passes each one on (the service record's) cannot miss one; CBasicUserInterface gives the operations a
// face without the window may leave out.
#pragma once

#include "engine/app/UiDialogs.h"
#include "engine/app/UiQuestions.h"
#include "engine/app/UiTransferViews.h"
#include "engine/app/UiWizardPages.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class IUserInterface {
public:
    virtual ~IUserInterface() = default;

    // Questions and status.
    // A message box with "Dravik" as caption; returns IDOK, IDCANCEL, IDRETRY, IDYES or IDNO.
    virtual int MessageBox(const std::string& text, EMsgButtons buttons = EMsgButtons::Ok,
                           EMsgIcon icon = EMsgIcon::None) = 0;
    // A failure's message box (OK button) followed by why it happened and how to fix it, one line each: a
    // window shows them under the text, a console on the next lines.
    virtual void MessageBoxWithReason(const std::string& text, const std::vector<std::string>& reason) = 0;
    // Runs a task later on the user-interface thread, in the order posted (status refreshes, posted
    // commands). Never runs it inside the call.
    virtual void Post(std::function<void()> task) = 0;
    // Posts a menu command as if the person had chosen it (the delayed reconnect). run carries it out; a
    // face with a main window routes it like a menu command instead (off its GUI thread when it talks to
    // the controller).
    virtual void PostCommand(int commandId, std::function<void()> run) = 0;
    // A text in the status bar's message pane alone (until the next refresh or menu prompt).
    virtual void ShowStatusMessage(const std::string& text) = 0;
    // Work that talks to the controller on behalf of the idle pass (the wizard's load request); a face
    // that keeps its window painting runs it off its own thread and returns at once.
    virtual void RunControllerWork(std::function<void()> work) = 0;
    // Rewrites the status bar: the message pane and the link pane.
    virtual void ShowStatus(const std::string& messagePane, const std::string& linkPane) = 0;
    // A file open or save dialog; false when cancelled.
    virtual bool GetFileName(const FileDialogRequest& request, std::string& path) = 0;
    // Shows the wait window at once.
    virtual std::unique_ptr<IWaitWindow> CreateWaitWindow(const std::string& caption,
                                                          const std::string& message) = 0;

    // Transfer views.
    // The "File Download" window, shown at once; onCancel runs (on the user-interface thread) when the
    // person presses Cancel or closes it.
    virtual std::unique_ptr<IDownloadView> CreateDownloadView(std::function<void()> onCancel) = 0;
    // The "ZModem" window, shown modally at once; onCancel (Cancel, Escape, the close box) and
    // onToggleUnit ("&bps/cps") run on the user-interface thread.
    virtual std::unique_ptr<IZModemView> CreateZModemView(std::function<void()> onCancel,
                                                          std::function<void()> onToggleUnit) = 0;
    // The "File Progress" window, shown at once until the object goes.
    virtual std::unique_ptr<IProgressView> CreateProgressView() = 0;

    // Dialogs.
    // The Port Setup dialog; true when it ended with OK (data then holds the choice).
    virtual bool RunCommDialog(CommDialogData& data) = 0;
    // The About box with its version text.
    virtual void RunAboutDialog(const std::string& versionText) = 0;
    // The erase confirmation "Erase Memory" (Yes/No); true for Yes.
    virtual bool RunEraseOkDialog() = 0;
    // The question "Rename Configuration File" (Yes/No) before a configuration file not named config.dat
    // is sent; true for Yes.
    virtual bool RunRenameOkDialog() = 0;
    // The Erase Memory dialog; true when it ended with OK (data then holds the ticks).
    virtual bool RunEraseDialog(EraseDialogData& data) = 0;
    // The Controller Options dialog; true when it ended with OK (data then holds the choices).
    virtual bool RunOptionsDialog(OptionsDialogData& data) = 0;

    // Wizard pages.
    // One of the Upgrade Wizard's modal pages; kWizardNext, kWizardTryAgain, kWizardComPort or IDCANCEL.
    virtual int RunWizardPage(EWizardPage page, WizardPageData& data) = 0;
    // The wizard's modeless notice while it waits for the controller's power cycle; closed when destroyed.
    virtual std::unique_ptr<IWaitWindow> ShowWizardNotice() = 0;
};

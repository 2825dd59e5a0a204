// The desktop face of the user-interface port: message boxes, file dialogs and the named dialogs on the
// GUI thread, whichever thread asks, with the caller blocked until the person has answered.
#pragma once

#include "engine/app/BasicUserInterface.h"
#include "gui/app/GuiCaller.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

class CMainFrame;

// "Name (*.x)|*.x|Other (*.*)|*.*||" as a Qt name filter list ("Name (*.x);;Other (*)").
QString QtNameFilters(const std::string& filter);

class CQtUserInterface : public CBasicUserInterface {
public:
    // Lives on the thread that constructs it, which must be the GUI thread.
    CQtUserInterface();
    ~CQtUserInterface() override;

    // The window that owns the dialogs and shows the status bar; may be null (dialogs without owner).
    void SetMainFrame(CMainFrame* frame);
    CMainFrame* MainFrame() const { return m_pFrame; }

    int MessageBox(const std::string& text, EMsgButtons buttons, EMsgIcon icon) override;
    // The reason goes in the box's informative text, under the message.
    void MessageBoxWithReason(const std::string& text, const std::vector<std::string>& reason) override;
    void Post(std::function<void()> task) override;
    void PostCommand(int commandId, std::function<void()> run) override;
    void RunControllerWork(std::function<void()> work) override;
    void ShowStatus(const std::string& messagePane, const std::string& linkPane) override;
    void ShowStatusMessage(const std::string& text) override;
    bool GetFileName(const FileDialogRequest& request, std::string& path) override;
    std::unique_ptr<IWaitWindow> CreateWaitWindow(const std::string& caption,
                                                  const std::string& message) override;
    bool RunCommDialog(CommDialogData& data) override;
    void RunAboutDialog(const std::string& versionText) override;
    std::unique_ptr<IDownloadView> CreateDownloadView(std::function<void()> onCancel) override;
    std::unique_ptr<IZModemView> CreateZModemView(std::function<void()> onCancel,
                                                  std::function<void()> onToggleUnit) override;
    bool RunEraseOkDialog() override;
    bool RunRenameOkDialog() override;
    bool RunEraseDialog(EraseDialogData& data) override;
    bool RunOptionsDialog(OptionsDialogData& data) override;
    std::unique_ptr<IProgressView> CreateProgressView() override;
    int RunWizardPage(EWizardPage page, WizardPageData& data) override;
    std::unique_ptr<IWaitWindow> ShowWizardNotice() override;

    // At the program's end, before the GUI thread waits for the workers: from then on their questions
    // get the answer of Escape, and their windows stay away.
    void EndWorkerCalls() { m_caller.Close(); }
    const CGuiCaller& Caller() const { return m_caller; }
    // The folder a file dialog opens in when its request names none (the demo's sample files).
    void SetDefaultFolder(const std::string& folder) { m_strDefaultFolder = folder; }

private:
    QWidget* Owner() const;

    CGuiCaller m_caller; // lives on the GUI thread; blocking and queued calls are made through it
    QPointer<CMainFrame> m_pFrame;
    std::string m_strDefaultFolder;
};

// The face's user interface with every text shown also handed to the service record in progress. Each
// operation of the port is passed on unchanged to the face. The port's operations are all pure, so one
// added to the port and not passed on here leaves this class abstract and the build fails.
#pragma once

#include "engine/app/UserInterface.h"

#include <functional>
#include <string>
#include <vector>

class CRecordingUserInterface : public IUserInterface {
public:
    CRecordingUserInterface(IUserInterface& face, std::function<void(const std::string&)> noteText)
        : m_face(face), m_noteText(std::move(noteText)) {}

    IUserInterface& Face() const { return m_face; }

    int MessageBox(const std::string& text, EMsgButtons buttons, EMsgIcon icon) override {
        m_noteText(text);
        return m_face.MessageBox(text, buttons, icon);
    }
    void MessageBoxWithReason(const std::string& text, const std::vector<std::string>& reason) override {
        m_noteText(text);
        m_face.MessageBoxWithReason(text, reason);
    }
    void ShowStatusMessage(const std::string& text) override {
        m_noteText(text);
        m_face.ShowStatusMessage(text);
    }
    void Post(std::function<void()> task) override { m_face.Post(std::move(task)); }
    void PostCommand(int commandId, std::function<void()> run) override {
        m_face.PostCommand(commandId, std::move(run));
    }
    void RunControllerWork(std::function<void()> work) override { m_face.RunControllerWork(std::move(work)); }
    void ShowStatus(const std::string& messagePane, const std::string& linkPane) override {
        m_face.ShowStatus(messagePane, linkPane);
    }
    bool GetFileName(const FileDialogRequest& request, std::string& path) override {
        return m_face.GetFileName(request, path);
    }
    std::unique_ptr<IWaitWindow> CreateWaitWindow(const std::string& caption,
                                                  const std::string& message) override {
        return m_face.CreateWaitWindow(caption, message);
    }
    bool RunCommDialog(CommDialogData& data) override { return m_face.RunCommDialog(data); }
    void RunAboutDialog(const std::string& versionText) override { m_face.RunAboutDialog(versionText); }
    std::unique_ptr<IDownloadView> CreateDownloadView(std::function<void()> onCancel) override {
        return m_face.CreateDownloadView(std::move(onCancel));
    }
    std::unique_ptr<IZModemView> CreateZModemView(std::function<void()> onCancel,
                                                  std::function<void()> onToggleUnit) override {
        return m_face.CreateZModemView(std::move(onCancel), std::move(onToggleUnit));
    }
    bool RunEraseOkDialog() override { return m_face.RunEraseOkDialog(); }
    bool RunRenameOkDialog() override { return m_face.RunRenameOkDialog(); }
    bool RunEraseDialog(EraseDialogData& data) override { return m_face.RunEraseDialog(data); }
    bool RunOptionsDialog(OptionsDialogData& data) override { return m_face.RunOptionsDialog(data); }
    std::unique_ptr<IProgressView> CreateProgressView() override { return m_face.CreateProgressView(); }
    int RunWizardPage(EWizardPage page, WizardPageData& data) override {
        return m_face.RunWizardPage(page, data);
    }
    std::unique_ptr<IWaitWindow> ShowWizardNotice() override { return m_face.ShowWizardNotice(); }

private:
    IUserInterface& m_face;
    std::function<void(const std::string&)> m_noteText;
};

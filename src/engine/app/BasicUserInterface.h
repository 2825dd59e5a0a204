// The port's operations as a face without the window does them: a message box in place of a dialog
// that only asks, hidden transfer views, dialogs and wizard pages that choose nothing, posted commands
// run as plain posted tasks. Faces derive from it and replace what they show their own way.
#pragma once

#include "engine/app/UiTexts.h"
#include "engine/app/UserInterface.h"

class CBasicUserInterface : public IUserInterface {
public:
    // The reason goes into the text after a blank line.
    void MessageBoxWithReason(const std::string& text, const std::vector<std::string>& reason) override {
        std::string full = text;
        for (size_t i = 0; i < reason.size(); ++i)
            full += (i == 0 ? "\n\n" : "\n") + reason[i];
        MessageBox(full);
    }
    void PostCommand(int commandId, std::function<void()> run) override {
        (void)commandId;
        Post(std::move(run));
    }
    void ShowStatusMessage(const std::string& text) override { (void)text; }
    // Done at once.
    void RunControllerWork(std::function<void()> work) override { work(); }

    std::unique_ptr<IDownloadView> CreateDownloadView(std::function<void()> onCancel) override {
        (void)onCancel;
        return std::make_unique<CHiddenDownloadView>();
    }
    std::unique_ptr<IZModemView> CreateZModemView(std::function<void()> onCancel,
                                                  std::function<void()> onToggleUnit) override {
        (void)onCancel;
        (void)onToggleUnit;
        return MakeHiddenZModemView();
    }
    std::unique_ptr<IProgressView> CreateProgressView() override {
        return std::make_unique<CHiddenProgressView>();
    }

    bool RunEraseOkDialog() override {
        return MessageBox(kEraseOkQuestion, EMsgButtons::YesNo, EMsgIcon::Question) == IDYES;
    }
    bool RunRenameOkDialog() override {
        return MessageBox(kRenameOkQuestion, EMsgButtons::YesNo, EMsgIcon::Question) == IDYES;
    }
    bool RunEraseDialog(EraseDialogData& data) override {
        (void)data;
        return false;
    }
    bool RunOptionsDialog(OptionsDialogData& data) override {
        (void)data;
        return false;
    }

    int RunWizardPage(EWizardPage page, WizardPageData& data) override {
        (void)page;
        (void)data;
        return IDCANCEL;
    }
    std::unique_ptr<IWaitWindow> ShowWizardNotice() override {
        return CreateWaitWindow(kWizardCaption, kWizardPowerCycleNotice);
    }
};

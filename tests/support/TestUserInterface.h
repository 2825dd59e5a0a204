// The tests' face of the program: answers from a script and records every text shown, in order, so a
// test can assert the exact sequence of messages.
#pragma once

#include "engine/app/BasicUserInterface.h"
#include "support/RecordingDownloadView.h"
#include "support/RecordingZModemView.h"

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct ShownEvent {
    std::string strKind; // "message", "status", "wait", "wait-caption", "wait-message", "wait-closed",
                         // "file", "comm", "about"
    std::string strText;
    EMsgButtons buttons = EMsgButtons::Ok;
    EMsgIcon icon = EMsgIcon::None;
    std::vector<std::string> reason = {}; // the lines after a failure's text
};

class CTestUserInterface : public CBasicUserInterface {
public:
    int MessageBox(const std::string& text, EMsgButtons buttons, EMsgIcon icon) override;
    void MessageBoxWithReason(const std::string& text, const std::vector<std::string>& reason) override;
    void Post(std::function<void()> task) override;
    void ShowStatus(const std::string& messagePane, const std::string& linkPane) override;
    void ShowStatusMessage(const std::string& text) override { Record({"status-message", text}); }
    bool GetFileName(const FileDialogRequest& request, std::string& path) override;
    std::unique_ptr<IWaitWindow> CreateWaitWindow(const std::string& caption,
                                                  const std::string& message) override;
    bool RunCommDialog(CommDialogData& data) override;
    void RunAboutDialog(const std::string& versionText) override;
    std::unique_ptr<IDownloadView> CreateDownloadView(std::function<void()> onCancel) override;
    bool RunEraseDialog(EraseDialogData& data) override;
    bool RunOptionsDialog(OptionsDialogData& data) override;
    // Records "progress" when shown, "progress-range" with the maximum, "progress-step" and
    // "progress-closed".
    std::unique_ptr<IProgressView> CreateProgressView() override;

    // The last download window: what was written to it, and its Cancel button.
    std::shared_ptr<CRecordingDownloadView> DownloadView() const;
    void PressDownloadCancel();
    std::unique_ptr<IZModemView> CreateZModemView(std::function<void()> onCancel,
                                                  std::function<void()> onToggleUnit) override;
    // The record of the ZModem window the next transfer opens (made ahead so a test can arm its Cancel),
    // and of the last one opened.
    std::shared_ptr<CRecordingZModemView> NextZModemView();
    std::shared_ptr<CRecordingZModemView> ZModemView() const;

    // Script: answers taken in order; without one a question gets IDNO (YesNo) or IDCANCEL, OK gets IDOK.
    void QueueAnswer(int answer);
    void QueueFileName(std::optional<std::string> path);
    // The Port Setup dialog's outcome: nullopt cancels.
    void QueueCommDialog(std::optional<CommDialogData> result);
    // The Erase Memory and Controller Options dialogs' outcomes: nullopt cancels; the dialogs record
    // "erase-dialog" with the kind they were shown for, and "options-dialog".
    void QueueEraseDialog(std::optional<EraseDialogData> result);
    void QueueOptionsDialog(std::optional<OptionsDialogData> result);

    int RunWizardPage(EWizardPage page, WizardPageData& data) override;
    // The wizard's pages answer in order: the result, and for the welcome page its check box, for the file
    // type page its choice. Without a scripted answer a page is cancelled.
    void QueueWizardPage(int result, bool showAtStartup = true, int fileType = 0);
    // The wizard pages shown, in order.
    std::vector<int> WizardPages() const;

    // Runs every posted task (and those they post) on the calling thread; returns how many ran.
    int RunPosted();
    size_t PendingPosted() const;

    std::vector<ShownEvent> Events() const;
    // The texts of the message boxes shown, in order.
    std::vector<std::string> Messages() const;
    // The reason lines shown under the last message box that had any.
    std::vector<std::string> LastReason() const;
    std::string LastStatusMessagePane() const;
    std::string LastStatusLinkPane() const;
    FileDialogRequest LastFileRequest() const;
    CommDialogData LastCommDialogInput() const;
    void Clear();

    void Record(ShownEvent event);

private:
    mutable std::mutex m_lock;
    std::vector<ShownEvent> m_events;
    std::deque<int> m_answers;
    std::deque<std::optional<std::string>> m_fileNames;
    std::deque<std::optional<CommDialogData>> m_commResults;
    std::deque<std::optional<EraseDialogData>> m_eraseResults;
    std::deque<std::optional<OptionsDialogData>> m_optionsResults;
    std::deque<std::function<void()>> m_posted;
    std::string m_strMessagePane;
    std::string m_strLinkPane;
    FileDialogRequest m_lastFileRequest;
    CommDialogData m_lastCommInput;
    std::shared_ptr<CRecordingDownloadView> m_pDownloadView;
    std::deque<std::pair<int, WizardPageData>> m_wizardAnswers;
    std::vector<int> m_wizardPages;
    std::function<void()> m_downloadCancel;
    std::shared_ptr<CRecordingZModemView> m_pNextZModemView;
    std::shared_ptr<CRecordingZModemView> m_pZModemView;
};

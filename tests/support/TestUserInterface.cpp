#include "support/TestUserInterface.h"

namespace {

class CTestWaitWindow : public IWaitWindow {
public:
    explicit CTestWaitWindow(CTestUserInterface& ui) : m_ui(ui) {}
    ~CTestWaitWindow() override { m_ui.Record({"wait-closed", ""}); }
    void SetCaption(const std::string& caption) override { m_ui.Record({"wait-caption", caption}); }
    void SetMessage(const std::string& message) override { m_ui.Record({"wait-message", message}); }

private:
    CTestUserInterface& m_ui;
};

class CTestProgressView : public IProgressView {
public:
    explicit CTestProgressView(CTestUserInterface& ui) : m_ui(ui) { m_ui.Record({"progress", ""}); }
    ~CTestProgressView() override { m_ui.Record({"progress-closed", ""}); }
    void SetProgressRange(uint32_t maximum) override {
        m_ui.Record({"progress-range", std::to_string(maximum)});
    }
    void StepProgress() override { m_ui.Record({"progress-step", ""}); }

private:
    CTestUserInterface& m_ui;
};

// Hands the worker a view whose record outlives it, so a test reads it after the download.
class CSharedDownloadView : public IDownloadView {
public:
    explicit CSharedDownloadView(std::shared_ptr<CRecordingDownloadView> record)
        : m_pRecord(std::move(record)) {}
    void SetField(EDownloadField field, const std::string& text) override {
        m_pRecord->SetField(field, text);
    }
    void SetProgressRange(uint32_t maximum) override { m_pRecord->SetProgressRange(maximum); }
    void SetProgressPos(uint32_t position) override { m_pRecord->SetProgressPos(position); }
    void SetProgressStep(uint32_t amount) override { m_pRecord->SetProgressStep(amount); }
    void StepProgress() override { m_pRecord->StepProgress(); }
    void Close() override { m_pRecord->Close(); }

private:
    std::shared_ptr<CRecordingDownloadView> m_pRecord;
};

} // namespace

std::unique_ptr<IDownloadView> CTestUserInterface::CreateDownloadView(std::function<void()> onCancel) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pDownloadView = std::make_shared<CRecordingDownloadView>();
    m_downloadCancel = std::move(onCancel);
    m_events.push_back({"download-window", ""});
    return std::make_unique<CSharedDownloadView>(m_pDownloadView);
}

std::unique_ptr<IZModemView> CTestUserInterface::CreateZModemView(std::function<void()> onCancel,
                                                                  std::function<void()> onToggleUnit) {
    NextZModemView();
    std::lock_guard<std::mutex> guard(m_lock);
    m_pZModemView = std::move(m_pNextZModemView);
    m_pZModemView->SetButtons(std::move(onCancel), std::move(onToggleUnit));
    m_events.push_back({"zmodem-window", ""});
    return std::make_unique<CSharedZModemView>(m_pZModemView);
}

std::shared_ptr<CRecordingZModemView> CTestUserInterface::NextZModemView() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_pNextZModemView)
        m_pNextZModemView = std::make_shared<CRecordingZModemView>();
    return m_pNextZModemView;
}

std::shared_ptr<CRecordingZModemView> CTestUserInterface::ZModemView() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_pZModemView;
}

std::shared_ptr<CRecordingDownloadView> CTestUserInterface::DownloadView() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_pDownloadView;
}

void CTestUserInterface::PressDownloadCancel() {
    std::function<void()> cancel;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        cancel = m_downloadCancel;
    }
    if (cancel)
        cancel();
}

void CTestUserInterface::Record(ShownEvent event) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_events.push_back(std::move(event));
}

int CTestUserInterface::MessageBox(const std::string& text, EMsgButtons buttons, EMsgIcon icon) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_events.push_back({"message", text, buttons, icon});
    if (buttons == EMsgButtons::Ok)
        return IDOK;
    if (!m_answers.empty()) {
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return buttons == EMsgButtons::YesNo ? IDNO : IDCANCEL;
}

void CTestUserInterface::MessageBoxWithReason(const std::string& text,
                                              const std::vector<std::string>& reason) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_events.push_back({"message", text, EMsgButtons::Ok, EMsgIcon::None, reason});
}

std::vector<std::string> CTestUserInterface::LastReason() const {
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto event = m_events.rbegin(); event != m_events.rend(); ++event)
        if (!event->reason.empty())
            return event->reason;
    return {};
}

void CTestUserInterface::Post(std::function<void()> task) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_posted.push_back(std::move(task));
}

int CTestUserInterface::RunPosted() {
    int ran = 0;
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_posted.empty())
                return ran;
            task = std::move(m_posted.front());
            m_posted.pop_front();
        }
        task();
        ++ran;
    }
}

size_t CTestUserInterface::PendingPosted() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_posted.size();
}

void CTestUserInterface::ShowStatus(const std::string& messagePane, const std::string& linkPane) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_strMessagePane = messagePane;
    m_strLinkPane = linkPane;
    m_events.push_back({"status", messagePane + "|" + linkPane});
}

bool CTestUserInterface::GetFileName(const FileDialogRequest& request, std::string& path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_lastFileRequest = request;
    m_events.push_back({"file", request.strFilter});
    if (m_fileNames.empty())
        return false;
    const auto answer = m_fileNames.front();
    m_fileNames.pop_front();
    if (!answer)
        return false;
    path = *answer;
    return true;
}

std::unique_ptr<IWaitWindow> CTestUserInterface::CreateWaitWindow(const std::string& caption,
                                                                  const std::string& message) {
    Record({"wait", caption + "|" + message});
    return std::make_unique<CTestWaitWindow>(*this);
}

bool CTestUserInterface::RunCommDialog(CommDialogData& data) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_lastCommInput = data;
    m_events.push_back({"comm", data.strCurrentPort});
    if (m_commResults.empty())
        return false;
    const auto result = m_commResults.front();
    m_commResults.pop_front();
    if (!result)
        return false;
    data.strPort = result->strPort;
    data.nLinkChoice = result->nLinkChoice;
    return true;
}

void CTestUserInterface::RunAboutDialog(const std::string& versionText) {
    Record({"about", versionText});
}

void CTestUserInterface::QueueAnswer(int answer) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_answers.push_back(answer);
}

void CTestUserInterface::QueueFileName(std::optional<std::string> path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_fileNames.push_back(std::move(path));
}

void CTestUserInterface::QueueCommDialog(std::optional<CommDialogData> result) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_commResults.push_back(std::move(result));
}

std::vector<ShownEvent> CTestUserInterface::Events() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_events;
}

std::vector<std::string> CTestUserInterface::Messages() const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<std::string> texts;
    for (const auto& event : m_events)
        if (event.strKind == "message")
            texts.push_back(event.strText);
    return texts;
}

std::string CTestUserInterface::LastStatusMessagePane() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_strMessagePane;
}

std::string CTestUserInterface::LastStatusLinkPane() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_strLinkPane;
}

FileDialogRequest CTestUserInterface::LastFileRequest() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lastFileRequest;
}

CommDialogData CTestUserInterface::LastCommDialogInput() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lastCommInput;
}

void CTestUserInterface::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_events.clear();
}

int CTestUserInterface::RunWizardPage(EWizardPage page, WizardPageData& data) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_wizardPages.push_back(page);
    m_events.push_back({"wizard-page", std::to_string(page)});
    if (m_wizardAnswers.empty())
        return IDCANCEL;
    const auto [result, answer] = m_wizardAnswers.front();
    m_wizardAnswers.pop_front();
    if (page == 1)
        data.bShowAtStartup = answer.bShowAtStartup;
    if (page == 4)
        data.nFileType = answer.nFileType;
    return result;
}

void CTestUserInterface::QueueWizardPage(int result, bool showAtStartup, int fileType) {
    std::lock_guard<std::mutex> guard(m_lock);
    WizardPageData data;
    data.bShowAtStartup = showAtStartup;
    data.nFileType = fileType;
    m_wizardAnswers.emplace_back(result, data);
}

std::vector<int> CTestUserInterface::WizardPages() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_wizardPages;
}

bool CTestUserInterface::RunEraseDialog(EraseDialogData& data) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_events.push_back({"erase-dialog", std::to_string(data.nKind)});
    if (m_eraseResults.empty())
        return false;
    const auto result = m_eraseResults.front();
    m_eraseResults.pop_front();
    if (!result)
        return false;
    for (int i = 0; i < kEraseAreaCount; ++i)
        data.bArea[i] = result->bArea[i];
    return true;
}

bool CTestUserInterface::RunOptionsDialog(OptionsDialogData& data) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_events.push_back({"options-dialog", ""});
    if (m_optionsResults.empty())
        return false;
    const auto result = m_optionsResults.front();
    m_optionsResults.pop_front();
    if (!result)
        return false;
    data = *result;
    return true;
}

std::unique_ptr<IProgressView> CTestUserInterface::CreateProgressView() {
    return std::make_unique<CTestProgressView>(*this);
}

void CTestUserInterface::QueueEraseDialog(std::optional<EraseDialogData> result) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_eraseResults.push_back(std::move(result));
}

void CTestUserInterface::QueueOptionsDialog(std::optional<OptionsDialogData> result) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_optionsResults.push_back(std::move(result));
}

#include "cli/ConsoleUserInterface.h"

#include "cli/ConsoleDownloadView.h"
#include "cli/ConsoleZModemView.h"

#include <cctype>
#include <unistd.h>

namespace {

constexpr const char* kRestartQuestion = "Should the controller be restarted now?";

const char* AnswerName(int answer) {
    switch (answer) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDRETRY:
        return "Retry";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    default:
        return "?";
    }
}

class CConsoleWaitWindow : public IWaitWindow {
public:
    explicit CConsoleWaitWindow(CConsoleUserInterface& ui) : m_ui(ui) {}
    void SetCaption(const std::string&) override {}
    void SetMessage(const std::string& message) override { m_ui.WriteLine(message); }

private:
    CConsoleUserInterface& m_ui;
};

} // namespace

CConsoleUserInterface::CConsoleUserInterface(ConsoleAnswers answers, std::FILE* out, std::FILE* in,
                                             CCliEventWriter* events, bool quiet)
    : m_answers(answers), m_out(out), m_output(out, events, quiet), m_in(in) {}

int CConsoleUserInterface::Ask(const std::string& text, EMsgButtons buttons) {
    const bool yesNo = buttons == EMsgButtons::YesNo || buttons == EMsgButtons::YesNoCancel;
    const int positive = yesNo ? IDYES : buttons == EMsgButtons::RetryCancel ? IDRETRY : IDOK;
    const int negative = yesNo ? IDNO : IDCANCEL;
    m_output.Line(text, false);
    int answer = negative;
    if (m_answers.bNoRestart && text.find(kRestartQuestion) != std::string::npos) {
        answer = negative;
    } else if (m_answers.bYes) {
        answer = positive;
    } else if (m_in && ::isatty(::fileno(m_in))) {
        std::lock_guard<std::mutex> guard(m_lock);
        std::fprintf(m_out, "[%s/%s] ", AnswerName(positive), AnswerName(negative));
        std::fflush(m_out);
        char line[64] = {};
        if (std::fgets(line, sizeof line, m_in)) {
            const char first = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
            if (first == 'y' || first == 'r' || first == 'o')
                answer = positive;
        }
    }
    m_output.Answered(text, AnswerName(answer));
    return answer;
}

int CConsoleUserInterface::MessageBox(const std::string& text, EMsgButtons buttons, EMsgIcon) {
    if (buttons == EMsgButtons::Ok) {
        WriteLine(text);
        return IDOK;
    }
    return Ask(text, buttons);
}

void CConsoleUserInterface::Post(std::function<void()> task) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_posted.push_back(std::move(task));
}

void CConsoleUserInterface::RunPosted() {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_posted.empty())
                return;
            task = std::move(m_posted.front());
            m_posted.pop_front();
        }
        task();
    }
}

void CConsoleUserInterface::ShowStatus(const std::string& messagePane, const std::string& linkPane) {
    // Only what changed, so a script's output is not flooded by refreshes.
    std::string changed;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (messagePane != m_strMessagePane)
            changed += messagePane + "\n";
        if (linkPane != m_strLinkPane && !linkPane.empty())
            changed += linkPane + "\n";
        m_strMessagePane = messagePane;
        m_strLinkPane = linkPane;
    }
    if (!changed.empty()) {
        changed.pop_back();
        m_output.Status(changed);
    }
}

bool CConsoleUserInterface::GetFileName(const FileDialogRequest&, std::string&) {
    // The console takes file names as arguments, never from a dialog.
    return false;
}

std::unique_ptr<IWaitWindow> CConsoleUserInterface::CreateWaitWindow(const std::string&,
                                                                     const std::string& message) {
    WriteLine(message);
    return std::make_unique<CConsoleWaitWindow>(*this);
}

bool CConsoleUserInterface::RunCommDialog(CommDialogData&) {
    return false;
}

void CConsoleUserInterface::RunAboutDialog(const std::string& versionText) {
    WriteLine("Arvenco Dravik Download Utility");
    WriteLine(versionText);
}

std::unique_ptr<IDownloadView> CConsoleUserInterface::CreateDownloadView(std::function<void()>) {
    return std::make_unique<CConsoleDownloadView>(m_output);
}

std::unique_ptr<IZModemView> CConsoleUserInterface::CreateZModemView(std::function<void()>,
                                                                     std::function<void()>) {
    return std::make_unique<CConsoleZModemView>(m_output);
}

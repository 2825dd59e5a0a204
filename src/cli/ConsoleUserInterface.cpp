#include "cli/ConsoleUserInterface.h"

#include "cli/ConsoleDownloadView.h"
#include "cli/ConsoleZModemView.h"
#include "engine/app/MessageTexts.h"

#include <cctype>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

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
    : m_answers(answers), m_out(out), m_output(out, events, quiet), m_in(in),
      m_cancelEvent(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

std::shared_ptr<std::atomic<bool>> CConsoleUserInterface::AddCancelTarget(std::function<void()> cancel) {
    auto open = std::make_shared<std::atomic<bool>>(true);
    std::lock_guard<std::mutex> guard(m_lock);
    std::erase_if(m_cancelTargets, [](const SCancelTarget& target) { return !*target.open; });
    m_cancelTargets.push_back({std::move(cancel), open});
    return open;
}

bool CConsoleUserInterface::PressCancel() {
    m_bCancelled = true;
    const uint64_t one = 1;
    if (::write(m_cancelEvent.Get(), &one, sizeof one) < 0) {
        // Only a full counter refuses, and then the event is readable already.
    }
    std::vector<SCancelTarget> targets;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        targets = m_cancelTargets;
    }
    bool taken = false;
    for (const SCancelTarget& target : targets) {
        if (*target.open && target.cancel) {
            target.cancel();
            taken = true;
        }
    }
    if (taken)
        m_output.Line("Cancel: the transfer stops at its next step and leaves the controller ready. Press "
                      "Ctrl-C again to stop at once.");
    return taken;
}

bool CConsoleUserInterface::ReadAnswerLine(char* line, size_t size) {
    pollfd waits[2] = {{::fileno(m_in), POLLIN, 0}, {m_cancelEvent.Get(), POLLIN, 0}};
    for (;;) {
        if (m_bCancelled)
            return false;
        const int ready = ::poll(waits, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || (waits[1].revents & POLLIN) != 0 || m_bCancelled)
            return false;
        if (waits[0].revents != 0)
            return std::fgets(line, static_cast<int>(size), m_in) != nullptr;
    }
}

int CConsoleUserInterface::Ask(const std::string& text, EMsgButtons buttons) {
    const bool yesNo = buttons == EMsgButtons::YesNo || buttons == EMsgButtons::YesNoCancel;
    const int positive = yesNo ? IDYES : buttons == EMsgButtons::RetryCancel ? IDRETRY : IDOK;
    const int negative = yesNo ? IDNO : IDCANCEL;
    m_output.Line(text, false);
    int answer = negative;
    if (m_bCancelled || (m_answers.bNoRestart && text.find(kRestartQuestion) != std::string::npos)) {
        answer = negative;
    } else if (m_answers.bYes) {
        answer = positive;
    } else if (m_in && ::isatty(::fileno(m_in))) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            std::fprintf(m_out, "[%s/%s] ", AnswerName(positive), AnswerName(negative));
            std::fflush(m_out);
        }
        char line[64] = {};
        if (ReadAnswerLine(line, sizeof line)) {
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

void CConsoleUserInterface::MessageBoxWithReason(const std::string& text,
                                                 const std::vector<std::string>& reason) {
    // One message event carries the reason too, so a front end shows the lines together.
    std::string joined;
    m_output.Line(text, false);
    for (const std::string& line : reason) {
        m_output.Line(line, false);
        joined += (joined.empty() ? "" : "\n") + line;
    }
    if (CCliEventWriter* events = m_output.Events())
        events->Write("message", {JsonText("text", text), JsonText("reason", joined)});
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

bool CConsoleUserInterface::GetFileName(const FileDialogRequest& request, std::string& path) {
    // The console takes file names as arguments, never from a dialog.
    if (request.bOpen || m_answers.strSaveFile.empty())
        return false;
    path = m_answers.strSaveFile;
    return true;
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
    WriteLine(kProgramTitle);
    WriteLine(versionText);
}

std::unique_ptr<IDownloadView> CConsoleUserInterface::CreateDownloadView(std::function<void()> onCancel) {
    return std::make_unique<CConsoleDownloadView>(m_output, AddCancelTarget(std::move(onCancel)));
}

std::unique_ptr<IZModemView> CConsoleUserInterface::CreateZModemView(std::function<void()> onCancel,
                                                                     std::function<void()>) {
    return std::make_unique<CConsoleZModemView>(m_output, AddCancelTarget(std::move(onCancel)));
}

// The console face of the program: every text a window would show goes to standard error (and, with an
// event writer, out as an event), questions are answered by flags or at the terminal, and posted work
// runs when the program drains it.
#pragma once

#include "cli/ConsoleOutput.h"
#include "engine/app/BasicUserInterface.h"
#include "platform/UniqueFd.h"

#include <atomic>

#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

struct ConsoleAnswers {
    bool bYes = false;       // answer Yes to every confirmation
    bool bNoRestart = false; // answer No to the restart question, whatever bYes says
    std::string strSaveFile; // the answer to a save-file dialog (the terminal's capture file); empty: cancel
};

class CConsoleUserInterface : public CBasicUserInterface {
public:
    // events: also every text as an event; quiet: no status-bar texts.
    CConsoleUserInterface(ConsoleAnswers answers, std::FILE* out = stderr, std::FILE* in = stdin,
                          CCliEventWriter* events = nullptr, bool quiet = false);

    int MessageBox(const std::string& text, EMsgButtons buttons, EMsgIcon icon) override;
    void MessageBoxWithReason(const std::string& text, const std::vector<std::string>& reason) override;
    void Post(std::function<void()> task) override;
    void ShowStatus(const std::string& messagePane, const std::string& linkPane) override;
    void ShowStatusMessage(const std::string& text) override { m_output.Status(text); }
    bool GetFileName(const FileDialogRequest& request, std::string& path) override;
    std::unique_ptr<IWaitWindow> CreateWaitWindow(const std::string& caption,
                                                  const std::string& message) override;
    bool RunCommDialog(CommDialogData& data) override;
    void RunAboutDialog(const std::string& versionText) override;
    std::unique_ptr<IDownloadView> CreateDownloadView(std::function<void()> onCancel) override;
    std::unique_ptr<IZModemView> CreateZModemView(std::function<void()> onCancel,
                                                  std::function<void()> onToggleUnit) override;

    // Runs the posted tasks on the calling thread until none is left.
    void RunPosted();
    void WriteLine(const std::string& text) { m_output.Line(text); }
    CConsoleOutput& Output() { return m_output; }

    // The Cancel button of every transfer window open now (any thread), and a line that says what follows.
    // From then on every question is answered No or Cancel, also one that waits at the terminal. True
    // when a window took the Cancel.
    bool PressCancel();

private:
    int Ask(const std::string& text, EMsgButtons buttons);
    // Waits for the person's line at the terminal; false when PressCancel came first.
    bool ReadAnswerLine(char* line, size_t size);
    struct SCancelTarget {
        std::function<void()> cancel;
        std::shared_ptr<std::atomic<bool>> open;
    };
    std::shared_ptr<std::atomic<bool>> AddCancelTarget(std::function<void()> cancel);

    ConsoleAnswers m_answers;
    std::FILE* m_out;
    CConsoleOutput m_output;
    std::FILE* m_in;
    std::mutex m_lock;
    std::deque<std::function<void()>> m_posted;
    std::string m_strMessagePane;
    std::string m_strLinkPane;
    std::vector<SCancelTarget> m_cancelTargets;
    std::atomic<bool> m_bCancelled{false};
    CUniqueFd m_cancelEvent; // readable once PressCancel has run
};

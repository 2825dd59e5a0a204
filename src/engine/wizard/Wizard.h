// The Upgrade Wizard's worker: a state machine that shows the wizard's pages and questions one after
// another from its own thread and uses the ordinary connect, load and download operations.
#pragma once

#include <atomic>
#include <thread>

class CDravikApp;
class CSerialHandler;
class IUserInterface;

class CWizard {
public:
    explicit CWizard(CDravikApp& app);
    ~CWizard();
    CWizard(const CWizard&) = delete;
    CWizard& operator=(const CWizard&) = delete;

    // Starts the worker (the wizard running flag is set at once).
    void Start();
    // Asks the worker to end at its next step (the program is closing) and waits for it.
    void Stop();
    bool IsRunning() const;

    // The wizard's connect step: 1 done, 2 COM port failed, 3 no controller, 14 no link kind, 15 no USB.
    int WizardConnect();

private:
    void Run();
    int Step(int state);
    int AfterCablePage();
    int ConnectState();
    int LoadState();
    int ImageResultState();
    int ConfigurationResultState();
    // "Exit Upgrade Wizard?": Yes → 9, No → stay.
    int AskExit(int stay);
    // Waits clock milliseconds unless the wizard is asked to stop.
    bool Pause(uint32_t milliseconds);
    // The controller's BEL at its reset (30 s at most); false without it or when asked to stop.
    bool AwaitReset(CSerialHandler& link);

    CDravikApp& m_app;
    IUserInterface& m_ui;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

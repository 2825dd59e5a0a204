// The Upgrade Wizard's worker: a state machine that shows the wizard's pages and questions one after
// another from its own thread and uses the ordinary connect, load and download operations.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

class CDravikApp;
struct UpgradeOutcome;
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
    // The USB restart before the connect step: UsbRestartCheck's result (0 go on, 1 restarted, the
    // re-connect time passed and the terminal ring emptied, others failed), -1 when pause (one poll
    // period) said stop.
    int RestartOverUsb(const std::function<bool()>& pause);

private:
    void Run();
    int Step(int state);
    int AfterCablePage();
    int ConnectState();
    int LoadState();
    int ImageResultState();
    int ConfigurationResultState();
    // The boxes and the next state for a load's outcome.
    int OutcomeState(const UpgradeOutcome& outcome);
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

// The main window: the menu with its enable and check rules, the terminal view as client area and the
// status bar. Menu commands go to the application object; those that talk to the controller run on a
// command thread while this window keeps painting and takes no input. It also drives the application's
// idle handler without spinning: after bursts of events, on terminal data, and on a timer only while a
// reconnect is due.
#pragma once

#include <functional>

#include "engine/link/UsbHidDevice.h"
#include "gui/app/KeyboardLocks.h"

#include <QMainWindow>
#include <QTimer>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

class CDravikApp;
class CTextView;
class QAction;
class QLabel;
class QMenu;
class QSocketNotifier;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CDravikApp& app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CTextView* View() const { return m_pView; }
    QAction* Action(int commandId) const;
    const std::vector<QMenu*>& Menus() const { return m_menus; }

    // The status bar's panes.
    void SetStatusTexts(const QString& messagePane, const QString& linkPane);
    void SetMessagePaneText(const QString& text);
    QString MessagePaneText() const;
    QString LinkPaneText() const;
    QLabel* LinkPane() const { return m_pLinkPane; }
    QLabel* LockPane(ELockKey key) const { return m_pLockPanes[static_cast<int>(key)]; }
    CKeyboardLocks& KeyboardLocks() { return m_locks; }
    void UpdateLockPanes();

    // Evaluates the enable and check rules of every item of one pop-up on the current state.
    void UpdateMenu(QMenu* menu);

    // Runs a menu command: the window's own (Exit, Status Bar), or the application's, on the command
    // thread when it talks to the controller.
    void RunCommand(int commandId);
    bool IsCommandRunning() const { return m_bCommandRunning; }
    // Controller work asked for by the idle pass runs on the command thread like a menu command.
    void RunControllerWork(std::function<void()> work);
    static bool RunsOnCommandThread(int commandId);

    // Device arrival and removal, carried to this thread (deferred while a command runs).
    void OnDeviceChange(bool arrived);

    // One idle pass now (as the event loop would after events).
    void RunIdle();
    // Whether the idle handler asked to be called again by timer (a reconnect is due).
    bool IdleTimerArmed() const { return m_reconnectTimer.isActive(); }
    int WatchedTerminalDescriptor() const { return m_nWatchedFd; }

signals:
    void commandFinished(int commandId);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
    void BuildStatusBar();
    void ShowPrompt(QAction* action);
    void StartCommandThread(int commandId);
    void StartCommandThread(int commandId, std::function<void()> work);
    void OnCommandThreadDone(int commandId);
    void ArmIdle();
    void OnIdleTimer();
    void AfterIdleOrCommand();
    void SyncTerminalWatch();
    void OnTerminalReadable();
    bool RefusesInput(QObject* watched, QEvent* event) const;

    CDravikApp& m_app;
    CTextView* m_pView;
    QLabel* m_pMessagePane = nullptr;
    QLabel* m_pLinkPane = nullptr;
    QLabel* m_pLockPanes[3] = {};
    CKeyboardLocks m_locks;
    std::map<int, QAction*> m_actions;
    std::vector<QMenu*> m_menus;

    std::thread m_commandThread;
    std::atomic<bool> m_bCommandRunning{false};
    bool m_bInGuiCommand = false;
    std::vector<bool> m_pendingDeviceChanges;

    QTimer m_idleTimer;
    QTimer m_reconnectTimer;
    bool m_bInIdle = false;
    QSocketNotifier* m_pTerminalNotifier = nullptr;
    int m_nWatchedFd = -1;
    CUsbDeviceWatch m_deviceWatch;
};

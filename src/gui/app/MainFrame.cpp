#include "gui/app/MainFrame.h"

#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "engine/link/SerialHandler.h"
#include "engine/link/UsbHidDevice.h"
#include "gui/app/AppIcon.h"
#include "gui/app/MenuTable.h"
#include "gui/terminal/TextView.h"
#include "platform/Clock.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QSocketNotifier>
#include <QStatusBar>

#include <QMouseEvent>
#include <QWindow>

#include <algorithm>
#include <poll.h>

namespace {

constexpr const char* kLinkPaneWidthText = "Link info                "; // "Link info" and 16 blanks
// While terminal mode runs over USB the receive ring is looked at this often (ms).

bool IsInputEvent(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

// Events after which the application's idle handler runs, as a message loop runs it after messages.
// Paints, update requests and timers are left out so that an idle program stays asleep.
bool WakesIdle(QEvent::Type type) {
    return IsInputEvent(type) || type == QEvent::MetaCall || type == QEvent::SockAct ||
           type == QEvent::Close || type == QEvent::WindowActivate || type == QEvent::FocusIn ||
           type >= QEvent::User;
}

} // namespace

CMainFrame::CMainFrame(CDravikApp& app, QWidget* parent) : QMainWindow(parent), m_app(app) {
    setWindowTitle("Dravik");
    setWindowIcon(AppIcon());
    resize(800, 600);

    m_pView = new CTextView(app.m_terminal, this);
    m_pView->SetSendFunction(
        [this](const uint8_t* data, size_t length) { m_app.SendTerminalBytes(data, length); });
    setCentralWidget(m_pView);

    BuildMenu();
    BuildStatusBar();

    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(0);
    connect(&m_idleTimer, &QTimer::timeout, this, &CMainFrame::OnIdleTimer);
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &CMainFrame::ArmIdle);
    // The controller's bytes over USB wake the terminal pump from the USB reader thread.
    m_app.m_usbDevice.SetDataHandler([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_app.m_nTerminalMode != 0 && m_app.m_bUsbPresent && m_app.m_nLinkKind == kLinkUsb)
                    ArmIdle();
            },
            Qt::QueuedConnection);
    });
    qApp->installEventFilter(this);

    // Device notifications arrive on the HID library's own thread; they are handled here, between commands.
    m_deviceWatch.Start([this](bool arrived) {
        QMetaObject::invokeMethod(
            this, [this, arrived] { OnDeviceChange(arrived); }, Qt::QueuedConnection);
    });
    ArmIdle();
}

CMainFrame::~CMainFrame() {
    m_app.m_usbDevice.SetDataHandler({});
    m_deviceWatch.Stop();
    qApp->removeEventFilter(this);
    if (m_commandThread.joinable())
        m_commandThread.join();
}

void CMainFrame::BuildMenu() {
    for (const SMenuPopup& popup : MainMenu()) {
        QMenu* menu = menuBar()->addMenu(popup.pszText);
        m_menus.push_back(menu);
        for (const SMenuItem& item : popup.items) {
            if (item.nId == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(item.pszText);
            action->setData(item.nId);
            action->setCheckable(item.bCheckable);
            action->setMenuRole(QAction::NoRole);
            m_actions[item.nId] = action;
            const int id = item.nId;
            connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        }
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(menu); });
        connect(menu, &QMenu::hovered, this, &CMainFrame::ShowPrompt);
        connect(menu, &QMenu::aboutToHide, this, [this] { m_pMessagePane->setText("Ready"); });
    }
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    m_pMessagePane = new QLabel("Ready", bar);
    m_pMessagePane->setObjectName("messagePane");
    bar->addWidget(m_pMessagePane, 1);

    m_pLinkPane = new QLabel(bar);
    m_pLinkPane->setObjectName("linkPane");
    m_pLinkPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pLinkPane->setFixedWidth(m_pLinkPane->fontMetrics().horizontalAdvance(kLinkPaneWidthText) + 6);
    bar->addPermanentWidget(m_pLinkPane);

    static const char* const kLockTexts[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel(bar);
        pane->setObjectName(kLockTexts[i]);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(kLockTexts[i]) + 10);
        bar->addPermanentWidget(pane);
        m_pLockPanes[i] = pane;
    }
    UpdateLockPanes();
}

void CMainFrame::UpdateLockPanes() {
    static const char* const kLockTexts[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i)
        m_pLockPanes[i]->setText(m_locks.IsOn(static_cast<ELockKey>(i)) ? kLockTexts[i] : "");
}

QAction* CMainFrame::Action(int commandId) const {
    const auto found = m_actions.find(commandId);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::SetStatusTexts(const QString& messagePane, const QString& linkPane) {
    m_pMessagePane->setText(messagePane);
    m_pLinkPane->setText(linkPane);
}

void CMainFrame::SetMessagePaneText(const QString& text) {
    m_pMessagePane->setText(text);
}

QString CMainFrame::MessagePaneText() const {
    return m_pMessagePane->text();
}
QString CMainFrame::LinkPaneText() const {
    return m_pLinkPane->text();
}

void CMainFrame::ShowPrompt(QAction* action) {
    if (action && action->data().isValid())
        m_pMessagePane->setText(QString::fromStdString(PromptFor(action->data().toInt())));
}

void CMainFrame::UpdateMenu(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (!action->data().isValid())
            continue;
        const int id = action->data().toInt();
        const bool busy = m_bCommandRunning;
        if (id == ID_VIEW_STATUS_BAR) {
            action->setEnabled(true);
            action->setChecked(statusBar()->isVisible());
            continue;
        }
        action->setEnabled(!busy && m_app.IsCommandEnabled(id));
        if (action->isCheckable())
            action->setChecked(m_app.IsCommandChecked(id));
    }
}

bool CMainFrame::RunsOnCommandThread(int commandId) {
    switch (commandId) {
    case ID_COMMANDS_CONNECT:
    case ID_COMMANDS_ERASE:
    case ID_COMMANDS_OPTIONS:
    case ID_FILE_LOAD:
        return true;
    default:
        return false;
    }
}

void CMainFrame::RunCommand(int commandId) {
    if (m_bCommandRunning)
        return;
    if (commandId == ID_APP_EXIT) {
        close();
        return;
    }
    if (commandId == ID_VIEW_STATUS_BAR) {
        statusBar()->setVisible(!statusBar()->isVisible());
        m_app.m_bStatusBarShown = statusBar()->isVisible();
        return;
    }
    if (!m_app.IsCommandEnabled(commandId))
        return;
    if (RunsOnCommandThread(commandId)) {
        // These commands leave terminal mode first; doing it here keeps the screen and its view on this
        // thread.
        m_app.SwitchTerminalModeOff();
        StartCommandThread(commandId);
        return;
    }
    m_bInGuiCommand = true;
    m_app.OnCommand(commandId);
    m_bInGuiCommand = false;
    AfterIdleOrCommand();
    emit commandFinished(commandId);
    ArmIdle();
}

void CMainFrame::StartCommandThread(int commandId) {
    StartCommandThread(commandId, [this, commandId] { m_app.OnCommand(commandId); });
}

void CMainFrame::StartCommandThread(int commandId, std::function<void()> work) {
    if (m_commandThread.joinable())
        m_commandThread.join();
    m_bCommandRunning = true;
    setCursor(Qt::WaitCursor);
    m_commandThread = std::thread([this, commandId, work = std::move(work)] {
        work();
        QMetaObject::invokeMethod(
            this, [this, commandId] { OnCommandThreadDone(commandId); }, Qt::QueuedConnection);
    });
}

void CMainFrame::RunControllerWork(std::function<void()> work) {
    StartCommandThread(0, std::move(work));
}

void CMainFrame::OnCommandThreadDone(int commandId) {
    if (m_commandThread.joinable())
        m_commandThread.join();
    m_bCommandRunning = false;
    unsetCursor();
    std::vector<bool> pending;
    pending.swap(m_pendingDeviceChanges);
    for (bool arrived : pending)
        OnDeviceChange(arrived);
    AfterIdleOrCommand();
    emit commandFinished(commandId);
    ArmIdle();
}

void CMainFrame::OnDeviceChange(bool arrived) {
    if (m_bCommandRunning) {
        m_pendingDeviceChanges.push_back(arrived);
        return;
    }
    if (arrived)
        m_app.CheckUsbDevice();
    else
        m_app.OnUsbDeviceRemoved();
    ArmIdle();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_bCommandRunning)
        event->ignore(); // a controller command is still talking to the controller
    else
        QMainWindow::closeEvent(event);
}

bool CMainFrame::RefusesInput(QObject* watched, QEvent* event) const {
    if (!m_bCommandRunning || !IsInputEvent(event->type()))
        return false;
    if (watched->isWindowType())
        return watched == windowHandle();
    return watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // Key events are seen once at the window they arrive at (a widget passes unhandled ones on to its
    // parent, which would count them twice).
    if (type == QEvent::KeyRelease && watched->isWindowType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) {
            if (key->key() == Qt::Key_CapsLock)
                m_locks.OnLockKey(ELockKey::Caps);
            else if (key->key() == Qt::Key_NumLock)
                m_locks.OnLockKey(ELockKey::Num);
            else if (key->key() == Qt::Key_ScrollLock)
                m_locks.OnLockKey(ELockKey::Scroll);
            UpdateLockPanes();
        }
    }
    // Disabled items cannot become the active item of a pop-up, so their prompts follow the mouse.
    if (type == QEvent::MouseMove && watched->isWidgetType()) {
        if (auto* menu = qobject_cast<QMenu*>(watched);
            menu && std::count(m_menus.begin(), m_menus.end(), menu))
            ShowPrompt(menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
    }
    if (RefusesInput(watched, event))
        return true;
    if (WakesIdle(type))
        ArmIdle();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::ArmIdle() {
    if (!m_idleTimer.isActive())
        m_idleTimer.start();
}

void CMainFrame::OnIdleTimer() {
    // Not while a command runs, inside another idle pass, or under a modal dialog (its own loop runs
    // then); the events that end those arm the next pass.
    if (m_bCommandRunning || m_bInIdle || m_bInGuiCommand || QApplication::activeModalWidget())
        return;
    RunIdle();
}

void CMainFrame::RunIdle() {
    m_bInIdle = true;
    long count = 0;
    if (m_app.OnIdle(count++))
        m_app.OnIdle(count++);
    m_bInIdle = false;
    AfterIdleOrCommand();
}

void CMainFrame::AfterIdleOrCommand() {
    SyncTerminalWatch();
    if (m_app.m_bRestartPending && !m_bCommandRunning) {
        const uint32_t due = m_app.ReconnectDueInMs();
        const auto real = CClock::Instance().RealDuration(due);
        m_reconnectTimer.start(std::max(
            1, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(real).count())));
    } else {
        m_reconnectTimer.stop();
    }
}

void CMainFrame::SyncTerminalWatch() {
    const bool terminalOn = m_app.m_nTerminalMode != 0 && !m_app.m_bWizardRunning;
    const bool usb = m_app.m_bUsbPresent && m_app.m_nLinkKind == kLinkUsb;
    int fd = -1;
    if (terminalOn && !usb && m_app.m_pTermLink)
        fd = m_app.m_pTermLink->Descriptor();
    if (fd != m_nWatchedFd) {
        delete m_pTerminalNotifier;
        m_pTerminalNotifier = nullptr;
        m_nWatchedFd = fd;
        if (fd >= 0) {
            m_pTerminalNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            connect(m_pTerminalNotifier, &QSocketNotifier::activated, this, &CMainFrame::OnTerminalReadable);
        }
    } else if (m_pTerminalNotifier && !m_pTerminalNotifier->isEnabled()) {
        // Re-armed after the pass that read what was there; a port that hung up stays quiet.
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 0) >= 0 && !(entry.revents & (POLLHUP | POLLERR | POLLNVAL)))
            m_pTerminalNotifier->setEnabled(true);
    }
}

void CMainFrame::OnTerminalReadable() {
    // Level-triggered: quiet until the idle pass has read the bytes, so a pass that cannot run yet (a
    // modal dialog is open) does not make the notifier fire in a loop.
    m_pTerminalNotifier->setEnabled(false);
    ArmIdle();
}

// Renders the desktop program's windows offscreen into PNG files for review: the main window, each menu
// open, Port Setup, About, the wait window, the File Download window in mid-transfer, the Erase Memory
// question, the Upgrade Wizard's pages and the terminal view with controller output.
// Usage: dravik-screenshots OUTPUT_FOLDER (run with QT_QPA_PLATFORM=offscreen).
#include "engine/app/DravikApp.h"
#include "engine/app/VersionText.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "gui/dialogs/AboutDlg.h"
#include "gui/dialogs/EraseDialog.h"
#include "gui/dialogs/EraseOKDialog.h"
#include "gui/dialogs/MessageDialog.h"
#include "gui/dialogs/OptionsDialog.h"
#include "gui/download/DownloadWindow.h"
#include "gui/link/CommDialog.h"
#include "gui/terminal/TextView.h"
#include "gui/wizard/WizardDialogs.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace {

// Lets posted events, layouts and paints settle without waiting on time.
void Settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

bool Save(const QPixmap& pixmap, const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    if (!pixmap.save(path, "PNG")) {
        std::fprintf(stderr, "dravik-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// A window as it shows once laid out and painted, saved.
bool Shot(QWidget& window, const QString& folder, const QString& name) {
    Settle();
    return Save(window.grab(), folder, name);
}

// A dialog or page made with these arguments, shown and saved.
template <class TWindow, class... TArgs>
bool ShotOf(const QString& folder, const QString& name, TArgs&&... args) {
    TWindow window(std::forward<TArgs>(args)...);
    window.show();
    return Shot(window, folder, name);
}

// The File Download window at one moment of a 400000-byte image's transfer (position in 400ths).
bool DownloadShot(const QString& folder, const QString& name, const QString& status, const QString& bytes,
                  const QString& elapsed, const QString& remaining, uint32_t position) {
    CDownloadWindow download([] {});
    download.SetField(EDownloadField::FileName, "dxu_os_v23.img");
    download.SetField(EDownloadField::Status, status);
    download.SetField(EDownloadField::Start, "14:02:37");
    download.SetField(EDownloadField::Bytes, bytes);
    download.SetField(EDownloadField::Elapsed, elapsed);
    download.SetField(EDownloadField::Remaining, remaining);
    download.SetField(EDownloadField::Speed, "20000 BPS");
    download.SetProgressRange(400);
    download.SetProgressPos(position);
    return Shot(download, folder, name);
}

// The main window with one pop-up open over it, its first enabled item highlighted.
QPixmap WithMenuOpen(CMainFrame& frame, int index) {
    QMenu* menu = frame.Menus()[index];
    QAction* title = frame.menuBar()->actions()[index];
    const QPoint anchor = frame.menuBar()->actionGeometry(title).bottomLeft();
    menu->popup(frame.mapToGlobal(frame.menuBar()->mapTo(&frame, anchor)));
    Settle();
    for (QAction* action : menu->actions()) {
        if (action->isEnabled() && !action->isSeparator()) {
            menu->setActiveAction(action);
            break;
        }
    }
    Settle();
    QPixmap shot = frame.grab();
    QPainter painter(&shot);
    painter.drawPixmap(frame.menuBar()->mapTo(&frame, anchor), menu->grab());
    painter.end();
    menu->hide();
    Settle();
    return shot;
}

const char* const kSampleOutput = "\r\n DXU controller console  V2.3\r\n"
                                  " ================================\r\n"
                                  "\r\n Diagnostic trace and history menu:\r\n"
                                  " ==================================\r\n"
                                  "   1 - alarm history dump\r\n"
                                  "   2 - trace dump\r\n"
                                  "   3 - parameter history dump\r\n"
                                  "\r\n select> 2\r\n"
                                  "\r\n press Enter to start trace dump, <esc> to abort.\r\n"
                                  "\x1b[1;31m0000 12:00:01 boot ok  flash=3 regions\x1b[m\r\n"
                                  "0001 12:00:02 link COM 19200,n,8,1\r\n"
                                  "0002 12:00:05 input 4 changed 0 -> 1\r\n"
                                  "0003 12:00:07 output 2 on\r\n"
                                  "> ";

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: dravik-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "dravik-screenshots: cannot create %s\n", argv[1]);
        return 1;
    }

    CQtUserInterface ui;
    CDravikApp app(&ui);
    app.m_strPort = "COM1";
    app.m_nLinkKind = kLinkCom;
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.show();
    app.OnStatusRefresh();
    Settle();

    bool ok = Save(frame.grab(), folder, "main-window.png");
    for (int i = 0; i < static_cast<int>(frame.Menus().size()); ++i) {
        QString name = frame.Menus()[i]->title().remove('&').toLower();
        ok &= Save(WithMenuOpen(frame, i), folder, QString("menu-%1.png").arg(name));
    }
    app.OnStatusRefresh();

    ok &= ShotOf<CCommDialog>(folder, "port-setup.png", &frame, 0, "COM1");
    ok &= ShotOf<CAboutDlg>(folder, "about.png", &frame, kDravikVersionText);
    {
        CMessageDialog wait(&frame);
        wait.SetCaption("Connect...");
        wait.SetMessage("Please reset controller.  Dravik will wait 30s for controller to connect.");
        ok &= Shot(wait, folder, "wait-window.png");
    }
    // Twenty seconds into the transfer, and its end: the final figures stay while the flash is programmed.
    ok &= DownloadShot(folder, "file-download.png", "Downloading file", "40K / 400K (10%)", "00:20", "03:00",
                       40);
    ok &= DownloadShot(folder, "file-download-done.png",
                       "Download complete... Please wait while flash is programmed", "400K / 400K (100%)",
                       "03:20", "00:00", 400);
    ok &= ShotOf<CEraseOKDialog>(folder, "erase-confirm.png", &frame);
    ok &= ShotOf<CEraseDialog>(folder, "erase-memory.png", &frame, ConnectBios);
    ok &= ShotOf<COptionsDialog>(folder, "controller-options.png", &frame);

    ok &= ShotOf<CWizardDialog_1>(folder, "wizard-1-welcome.png", &frame, true);
    ok &= ShotOf<CWizardDialog_2>(folder, "wizard-2-cable.png", &frame);
    {
        CWizardDialog_3 notice(&frame);
        ok &= Shot(notice, folder, "wizard-3-power-cycle.png");
    }
    ok &= ShotOf<CWizardDialog_4>(folder, "wizard-4-file-type.png", &frame);
    ok &= ShotOf<CWizardDialog_5>(folder, "wizard-5-no-controller.png", &frame);
    ok &= ShotOf<CWizardDialog_6>(folder, "wizard-6-another-file.png", &frame);

    // Terminal mode as the technician sees it: the controller's console in the view.
    app.m_nTerminalMode = 1;
    app.m_terminal.ShowTerminal();
    app.m_terminal.PutString(kSampleOutput);
    app.OnStatusRefresh();
    frame.activateWindow();
    frame.View()->setFocus();
    Settle();
    ok &= Save(frame.grab(), folder, "terminal-view.png");
    app.m_nTerminalMode = 0;
    return ok ? 0 : 1;
}

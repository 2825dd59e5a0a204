#include "gui/DravikMain.h"

#include "engine/app/DravikApp.h"
#include "engine/link/LinkContext.h"
#include "gui/AppIcon.h"
#include "gui/DemoSession.h"
#include "gui/MainFrame.h"
#include "gui/QtUserInterface.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <memory>

bool ParseDravikArguments(const std::vector<std::string>& args, SDravikArguments& parsed,
                          std::string& error) {
    for (const std::string& arg : args) {
        if (arg == "--demo") {
            parsed.bDemo = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg + " (usage: dravik [--demo] [file])";
            return false;
        } else if (parsed.strFile.empty()) {
            parsed.strFile = arg;
        } else {
            error = "more than one file named (usage: dravik [--demo] [file])";
            return false;
        }
    }
    return true;
}

int DravikMain(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Dravik");
    QApplication::setWindowIcon(AppIcon());

    SDravikArguments arguments;
    std::string error;
    const QStringList qtArgs = QApplication::arguments();
    std::vector<std::string> args;
    for (qsizetype i = 1; i < qtArgs.size(); ++i)
        args.push_back(qtArgs[i].toStdString());
    if (!ParseDravikArguments(args, arguments, error)) {
        std::fprintf(stderr, "dravik: %s\n", error.c_str());
        return 2;
    }

    // Declared first so that it outlives the application object, whose links use its port.
    std::unique_ptr<CDemoSession> demo;
    if (arguments.bDemo) {
        demo = std::make_unique<CDemoSession>();
        if (!demo->Start(error)) {
            QMessageBox::critical(nullptr, "Dravik",
                                  QString::fromStdString("The demo controller could not start: " + error));
            return 1;
        }
    }

    CQtUserInterface ui;
    CDravikApp app(&ui);
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.show();
    app.InitInstance(QApplication::applicationFilePath().toStdString(), arguments.strFile);
    if (demo) {
        // The demo runs over COM1 whatever the settings say, without writing them.
        if (app.m_nLinkKind == kLinkUsb && app.m_usbDevice.IsOpen())
            app.m_usbDevice.Close();
        app.m_nLinkKind = kLinkCom;
        app.m_strPort = CDemoSession::kPortName;
        app.RefreshStatus();
    }
    const int code = application.exec();
    // A download still running ends at its next check point; its worker must not wait for this thread,
    // which waits for it in the application object's end.
    app.CancelDownload();
    ui.EndWorkerCalls();
    return code;
}

#include "gui/app/DravikMain.h"

#include "engine/app/DravikApp.h"
#include "engine/app/VersionText.h"
#include "engine/link/LinkContext.h"
#include "gui/app/AppIcon.h"
#include "gui/app/DemoSession.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"

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
            error = "unknown option " + arg + " (usage: dravik [--demo] [FILE], dravik --help)";
            return false;
        } else if (parsed.strFile.empty()) {
            parsed.strFile = arg;
        } else {
            error = "more than one file named (usage: dravik [--demo] [FILE], dravik --help)";
            return false;
        }
    }
    return true;
}

namespace {

const char kDravikUsage[] =
    "usage: dravik [--demo] [FILE]\n"
    "  --demo         run against a simulated controller reached as COM1 (nothing is saved)\n"
    "  FILE           the file the Load dialog starts from\n"
    "  -h, --help     show this text\n"
    "  -V, --version  show the program's version\n"
    "Qt's own options (-platform, -style, ...) are taken as well.\n";

// --help and --version are answered before Qt starts, so they work without a display.
bool AnswerInfoOption(int argc, char** argv, int& code) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kDravikUsage, stdout);
            code = 0;
            return true;
        }
        if (arg == "-V" || arg == "--version") {
            std::printf("dravik %s\n", kDravikVersionText);
            code = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int DravikMain(int argc, char** argv) {
    if (int code = 0; AnswerInfoOption(argc, argv, code))
        return code;
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
    // The demo runs over COM1 whatever the settings say, and never writes them.
    if (demo)
        CDemoSession::KeepSettings(app);
    app.InitInstance(QApplication::applicationFilePath().toStdString(), arguments.strFile);
    if (demo) {
        CDemoSession::UseDemoLink(app);
        ui.SetDefaultFolder(CDemoSession::SamplesFolder());
    }
    const int code = application.exec();
    // A download still running ends at its next check point; its worker must not wait for this thread,
    // which waits for it in the application object's end.
    app.CancelDownload();
    ui.EndWorkerCalls();
    return code;
}

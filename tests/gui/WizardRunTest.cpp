// One run of the Upgrade Wizard in the desktop program, started from its menu command in the real main
// window, against the in-process simulated controller on a real pseudo-terminal: the test clicks through
// the pages, sees the power-cycle notice, picks the image in the file dialog that the window's idle pass
// opens for the wizard's worker, and answers the download's questions until the image is in the flash.
#include "GuiTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "gui/download/DownloadWindow.h"
#include "gui/wizard/WizardDialogs.h"
#include "platform/Clock.h"
#include "sim/Simulator.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr uint32_t kApplicationAddress = 0x1E0000;

const QString kImageOk = "Download OK!\n \nThe Upgrade Wizard is complete.\nDisconnect the PC and cycle the "
                         "controller power OFF/ON";

class WizardRunTest : public testing::Test {
protected:
    WizardRunTest() : m_app(&m_ui), m_frame(m_app) {
        m_ui.SetMainFrame(&m_frame);
        m_app.m_strSettingsPath = m_dir.filePath("Dravik.cfg").toStdString();
        m_app.m_strWizard = "WD";
        m_frame.show();
        ProcessQueued();
    }
    ~WizardRunTest() override {
        // After a failure half-way the workers may still run: they end without this thread's loop.
        m_app.CancelDownload();
        m_ui.EndWorkerCalls();
        m_app.WaitForDownload();
    }

    QString WriteImage() {
        m_data.resize(3000);
        for (size_t i = 0; i < m_data.size(); ++i) {
            const auto byte = static_cast<uint8_t>(i * 13 + i / 97);
            m_data[i] = byte == 0x7E ? 0x7D : byte;
        }
        QByteArray bytes("\x7EMR:", 4);
        for (int shift : {24, 16, 8, 0})
            bytes.append(static_cast<char>(kApplicationAddress >> shift));
        bytes.append(':');
        bytes.append(reinterpret_cast<const char*>(m_data.data()), static_cast<qsizetype>(m_data.size()));
        const QString path = m_dir.filePath("app.img");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    CClockSpeedScope m_fast{100.0};
    QTemporaryDir m_dir;
    CSimulator m_sim;
    CQtUserInterface m_ui;
    CDravikApp m_app;
    CMainFrame m_frame;
    std::vector<uint8_t> m_data;
};

TEST_F(WizardRunTest, MenuCommandLeadsThroughThePagesToAFinishedDownloadOnCom) {
    SimOptions options;
    // Its application does not answer; it resets while the notice asks for the power cycle, and the
    // program holds it in its bootstrap (PL03).
    options.strProtocol.clear();
    // The reset must fall between the end of the probe's time-out and the end of the wait for BEL, and the
    // ESC that the program sends on the BEL must come within the window: at this speed the margins are
    // 1.5 s or more of real time, enough for a machine with a busy process per core.
    CClockSpeedScope slower(5.0);
    options.nResetAfterMs = 10000;
    options.nEscWindowMs = 10000;
    options.nDoneDelayMs = 20;
    std::string error;
    ASSERT_TRUE(m_sim.Start(options, error)) << error;
    m_app.m_nLinkKind = kLinkCom;
    m_app.m_strPort = m_sim.SlavePath();
    const QString image = WriteImage();

    struct Seen {
        QStringList steps; // pages, dialogs and boxes in the order they came
        QStringList noticeTexts;
        bool noticeUpWithPage = false;
        bool downloadWindow = false;
    } seen;
    CGuiWatcher watcher(
        [&](QWidget* modal) {
            if (auto* page = qobject_cast<CWizardPage*>(modal)) {
                seen.steps << page->metaObject()->className();
                for (QWidget* widget : QApplication::topLevelWidgets())
                    seen.noticeUpWithPage |= qobject_cast<CWizardDialog_3*>(widget) && widget->isVisible();
                if (auto* types = qobject_cast<CWizardDialog_4*>(page))
                    types->ImageChoice()->click();
                page->Button(kWizardNext)->click();
            } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                seen.steps << "file dialog: " + files->nameFilters().join(";");
                files->selectFile(image);
                QMetaObject::invokeMethod(files, "accept");
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                seen.steps << box->text();
                // No where asked, else Ok; a box with neither is closed so that the failure shows.
                if (QAbstractButton* button = box->button(QMessageBox::No) ? box->button(QMessageBox::No)
                                                                           : box->button(QMessageBox::Ok))
                    button->click();
                else
                    box->close();
            } else {
                seen.steps << QString("unexpected ") + modal->metaObject()->className();
                modal->close();
            }
        },
        [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* notice = qobject_cast<CWizardDialog_3*>(widget); notice && notice->isVisible()) {
                    if (seen.noticeTexts.isEmpty())
                        seen.steps << "notice";
                    seen.noticeTexts = notice->Texts();
                }
                if (auto* window = qobject_cast<CDownloadWindow*>(widget); window && window->isVisible())
                    seen.downloadWindow = true;
            }
        });

    m_frame.RunCommand(ID_FILE_WIZARD);
    ASSERT_TRUE(ProcessUntil([&] { return seen.steps.size() > 0; }))
        << "the idle pass shows the welcome page";
    ASSERT_TRUE(ProcessUntil([&] { return !m_app.m_bWizardRunning && !m_app.m_bDownloadRunning; },
                             std::chrono::seconds(60)))
        << seen.steps.join(" | ").toStdString();
    ProcessQueued();

    EXPECT_EQ(seen.steps.join(" | ").toStdString(),
              QStringList({"CWizardDialog_1", "CWizardDialog_2", "notice", "CWizardDialog_4",
                           "file dialog: Software Files (*.img)", "Download complete.",
                           "Should the controller be restarted now?", kImageOk})
                  .join(" | ")
                  .toStdString());
    EXPECT_EQ(seen.noticeTexts.value(0).toStdString(), "Cycle power (OFF/ON) to the controller.");
    EXPECT_FALSE(seen.noticeUpWithPage) << "the notice goes once the controller has answered";
    EXPECT_TRUE(seen.downloadWindow);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(widget->isVisible() &&
                     (qobject_cast<CWizardDialog_3*>(widget) || qobject_cast<CDownloadWindow*>(widget)))
            << "the notice and the download window have gone";

    EXPECT_EQ(m_sim.Counters().nEscHeld, 1u);
    EXPECT_EQ(m_app.m_nConnectState, ConnectBootstrap);
    EXPECT_EQ(m_app.m_nLastLoadResult, kLoadDoneApplication);
    const SimFlashRuns flash = m_sim.FlashRuns();
    ASSERT_EQ(flash.count(kApplicationAddress), 1u);
    EXPECT_EQ(flash.at(kApplicationAddress), m_data);
    // The welcome page's box was left as it came (unticked): nothing written.
    EXPECT_FALSE(QFile::exists(QString::fromStdString(m_app.m_strSettingsPath)));
}

TEST_F(WizardRunTest, EmptyTaskPostedByTheWorkerWakesTheIdlePassThatCarriesOutItsLoadRequest) {
    int fileDialogs = 0;
    CGuiWatcher watcher([&](QWidget* modal) {
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            ++fileDialogs;
            files->reject();
        }
    });
    ProcessQueued();
    m_app.m_nLoadType = 1;
    m_app.m_bLoadOk = 1;
    m_app.m_bLoadRequest = 1;
    // Nothing has happened in the window: no idle pass yet (the watcher's ticks do not count as events).
    ProcessUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(fileDialogs, 0);
    EXPECT_EQ(m_app.m_bLoadRequest, 1);

    std::thread worker([this] { m_ui.Post([] {}); });
    worker.join();
    ASSERT_TRUE(ProcessUntil([&] { return m_app.m_bLoadRequest == 0; }));
    EXPECT_EQ(fileDialogs, 1);
    EXPECT_EQ(m_app.m_bLoadOk, 0) << "the dialog was cancelled";
}

} // namespace

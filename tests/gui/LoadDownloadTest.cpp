// File, Load of a software image in the desktop program, end to end against the in-process simulated
// controller on a real pseudo-terminal that takes bytes at the line's pace: the file dialog, the erase
// question, the "File Download" window's live figures while the GUI thread keeps running, the menu
// while the download runs and after it, and Cancel during the transfer.
#include "GuiTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "gui/dialogs/EraseOKDialog.h"
#include "gui/dialogs/MessageDialog.h"
#include "gui/download/DownloadWindow.h"
#include "platform/Clock.h"
#include "sim/Simulator.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

constexpr uint32_t kApplicationAddress = 0x200000;
constexpr size_t kImageDataBytes = 60000;

class LoadDownloadTest : public testing::Test {
protected:
    LoadDownloadTest() : m_app(&m_ui), m_frame(m_app) {
        m_ui.SetMainFrame(&m_frame);
        m_app.m_strSettingsPath = m_dir.filePath("Dravik.cfg").toStdString();
        m_frame.show();
        ProcessQueued();
    }
    ~LoadDownloadTest() override {
        // After a failure half-way the worker may still run: it ends without this thread's loop.
        m_app.CancelDownload();
        m_ui.EndWorkerCalls();
        m_app.WaitForDownload();
    }

    // A connected BIOS controller that takes bytes no faster than its line would deliver them, so the
    // transfer lasts several clock seconds.
    void StartController() {
        SimOptions options;
        options.strProtocol = "PL02";
        options.nDoneDelayMs = 200;
        options.bPace = true;
        std::string error;
        ASSERT_TRUE(m_sim.Start(options, error)) << error;
        m_app.m_nLinkKind = kLinkCom;
        m_app.m_strPort = m_sim.SlavePath();
        m_app.m_nConnectState = ConnectBios;
    }

    // An application image: one address record, then the data (no record marker among it).
    QString WriteImage() {
        m_data.resize(kImageDataBytes);
        for (size_t i = 0; i < m_data.size(); ++i) {
            const auto byte = static_cast<uint8_t>(i * 7 + i / 251);
            m_data[i] = byte == 0x7E ? 0x7D : byte;
        }
        QByteArray bytes("\x7EMR:", 4);
        bytes.append(static_cast<char>(kApplicationAddress >> 24));
        bytes.append(static_cast<char>(kApplicationAddress >> 16));
        bytes.append(static_cast<char>(kApplicationAddress >> 8));
        bytes.append(static_cast<char>(kApplicationAddress));
        bytes.append(':');
        bytes.append(reinterpret_cast<const char*>(m_data.data()), static_cast<qsizetype>(m_data.size()));
        const QString path = m_dir.filePath("app.img");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static CDownloadWindow* DownloadWindow() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<CDownloadWindow*>(widget); window && window->isVisible())
                return window;
        return nullptr;
    }

    // Opens the File pop-up as the person would, so that its rules are evaluated now.
    bool LoadEnabledInMenu() {
        QMenu* file = m_frame.Menus()[0];
        file->popup(m_frame.mapToGlobal(QPoint(10, 10)));
        const bool enabled = m_frame.Action(ID_FILE_LOAD)->isEnabled();
        file->hide();
        return enabled;
    }

    bool DownloadEnded() { return m_app.m_nLastLoadResult != kLoadPending && !DownloadWindow(); }

    CClockSpeedScope m_fast{100.0};
    QTemporaryDir m_dir;
    CSimulator m_sim;
    CQtUserInterface m_ui;
    CDravikApp m_app;
    CMainFrame m_frame;
    std::vector<uint8_t> m_data;
};

std::map<EDownloadField, QString> FieldsOf(const CDownloadWindow& window) {
    std::map<EDownloadField, QString> fields;
    for (EDownloadField id :
         {EDownloadField::FileName, EDownloadField::Status, EDownloadField::Start, EDownloadField::Bytes,
          EDownloadField::Elapsed, EDownloadField::Remaining, EDownloadField::Speed})
        fields[id] = window.Field(id);
    return fields;
}

TEST_F(LoadDownloadTest, LoadSendsTheImageWithLiveFiguresAndTheMenuFollows) {
    StartController();
    const QString image = WriteImage();
    ASSERT_TRUE(LoadEnabledInMenu());

    struct Seen {
        bool commandThreadAtFileDialog = false;
        QStringList filters;
        QString eraseCaption, eraseText;
        std::map<EDownloadField, QString> atErase;
        QStringList boxes;
        std::map<EDownloadField, QString> atCompletion;
        int barValue = -1, barMaximum = -1;
        int looksDuringTransfer = 0;
        bool loadEnabledDuringTransfer = true;
        QPointer<CDownloadWindow> window;
    } seen;
    CGuiWatcher watcher(
        [&](QWidget* modal) {
            if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                seen.commandThreadAtFileDialog = m_frame.IsCommandRunning();
                seen.filters = files->nameFilters();
                files->selectFile(image);
                QMetaObject::invokeMethod(files, "accept");
            } else if (auto* erase = qobject_cast<CEraseOKDialog*>(modal)) {
                seen.eraseCaption = erase->windowTitle();
                seen.eraseText = erase->Text();
                seen.window = DownloadWindow();
                if (seen.window)
                    seen.atErase = FieldsOf(*seen.window);
                erase->YesButton()->click();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                seen.boxes << box->text();
                if (box->text() == "Download complete." && DownloadWindow()) {
                    seen.atCompletion = FieldsOf(*DownloadWindow());
                    seen.barValue = DownloadWindow()->ProgressBar()->value();
                    seen.barMaximum = DownloadWindow()->ProgressBar()->maximum();
                }
                box->button(box->buttons().contains(box->button(QMessageBox::No)) ? QMessageBox::No
                                                                                  : QMessageBox::Ok)
                    ->click();
            }
        },
        [&] {
            // The GUI thread keeps running while the worker sends: it looks, and the menu opens.
            CDownloadWindow* window = DownloadWindow();
            if (!window || QApplication::activeModalWidget() ||
                window->Field(EDownloadField::Status) != "Downloading file")
                return;
            if (++seen.looksDuringTransfer == 2)
                seen.loadEnabledDuringTransfer = LoadEnabledInMenu();
        });

    m_frame.RunCommand(ID_FILE_LOAD);
    EXPECT_TRUE(m_frame.IsCommandRunning()) << "the command runs off the GUI thread";
    ASSERT_TRUE(ProcessUntil([&] { return DownloadEnded(); }, std::chrono::seconds(60)));

    EXPECT_TRUE(seen.commandThreadAtFileDialog);
    EXPECT_EQ(seen.filters,
              (QStringList{"Software Files (*.img)", "Configuration Files (*.dat)", "HTML Files (*.htm)",
                           "GIF Files (*.gif)", "Neuron Software Files (*.nxe)",
                           "Neuron Exportable Image Files (*.xif)"}));
    EXPECT_EQ(seen.eraseCaption, "Erase Memory");
    EXPECT_EQ(seen.eraseText, "This will erase old data on controller.\nDo you really want to continue?");
    EXPECT_EQ(seen.atErase[EDownloadField::FileName], "app.img");
    EXPECT_EQ(seen.atErase[EDownloadField::Status], "Analyzing File");

    EXPECT_GE(seen.looksDuringTransfer, 2);
    EXPECT_FALSE(seen.loadEnabledDuringTransfer);

    // The last figures shown, one clock second or more into the transfer.
    EXPECT_EQ(seen.boxes, (QStringList{"Download complete.", "Should the controller be restarted now?"}));
    auto& last = seen.atCompletion;
    EXPECT_EQ(last[EDownloadField::FileName], "app.img");
    EXPECT_EQ(last[EDownloadField::Status], "Download complete... Please wait while flash is programmed");
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(last[EDownloadField::Start]).hasMatch())
        << last[EDownloadField::Start].toStdString();
    const auto bytes = QRegularExpression("^(\\d+)K / 60K \\((\\d+)%\\)$").match(last[EDownloadField::Bytes]);
    ASSERT_TRUE(bytes.hasMatch()) << last[EDownloadField::Bytes].toStdString();
    const int thousands = bytes.captured(1).toInt();
    const int percent = bytes.captured(2).toInt();
    EXPECT_GT(thousands, 0);
    EXPECT_LE(thousands, 60);
    EXPECT_LE(std::abs(percent - thousands * 100 / 60), 2);
    // Minutes too: on the raised clock a busy machine stretches the transfer past a clock minute.
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d$").match(last[EDownloadField::Elapsed]).hasMatch())
        << last[EDownloadField::Elapsed].toStdString();
    EXPECT_NE(last[EDownloadField::Elapsed], "00:00");
    if (percent < 2) {
        EXPECT_EQ(last[EDownloadField::Speed], "Wait..  ");
        EXPECT_EQ(last[EDownloadField::Remaining], "Wait..  ");
    } else {
        EXPECT_TRUE(QRegularExpression("^\\d+ BPS$").match(last[EDownloadField::Speed]).hasMatch())
            << last[EDownloadField::Speed].toStdString();
        EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d$").match(last[EDownloadField::Remaining]).hasMatch())
            << last[EDownloadField::Remaining].toStdString();
    }
    EXPECT_EQ(seen.barMaximum, static_cast<int>((kImageDataBytes + 9) / 1000));
    EXPECT_GT(seen.barValue, 0);

    // Done: the window has gone, the result is kept, the menu offers Load again.
    ProcessQueued();
    EXPECT_TRUE(seen.window.isNull());
    EXPECT_EQ(m_app.m_nLastLoadResult, kLoadDoneApplication);
    EXPECT_FALSE(m_app.m_bDownloadRunning);
    EXPECT_TRUE(LoadEnabledInMenu());
    const SimFlashRuns flash = m_sim.FlashRuns();
    ASSERT_EQ(flash.count(kApplicationAddress), 1u);
    EXPECT_EQ(flash.at(kApplicationAddress), m_data);
}

TEST_F(LoadDownloadTest, CancelDuringTheTransferClosesTheWindowAndErasesAgain) {
    StartController();
    const QString image = WriteImage();

    struct Seen {
        QStringList boxes;
        bool cancelled = false;
        bool runningAfterCancel = true;
        QPointer<CDownloadWindow> window;
        QString waitCaption, waitMessage;
    } seen;
    CGuiWatcher watcher(
        [&](QWidget* modal) {
            if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                files->selectFile(image);
                QMetaObject::invokeMethod(files, "accept");
            } else if (auto* erase = qobject_cast<CEraseOKDialog*>(modal)) {
                erase->YesButton()->click();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                seen.boxes << box->text();
                box->button(box->buttons().contains(box->button(QMessageBox::No)) ? QMessageBox::No
                                                                                  : QMessageBox::Ok)
                    ->click();
            }
        },
        [&] {
            CDownloadWindow* window = DownloadWindow();
            if (seen.cancelled || !window || window->Field(EDownloadField::Status) != "Downloading file")
                return;
            seen.cancelled = true;
            seen.window = window;
            window->CancelButton()->click();
            seen.runningAfterCancel = m_app.m_bDownloadRunning;
        },
        [&](QWidget* shown) {
            // The erase after the cancel may be over before the next look.
            if (auto* wait = qobject_cast<CMessageDialog*>(shown)) {
                seen.waitCaption = wait->windowTitle();
                seen.waitMessage = wait->Message();
            }
        });

    m_frame.RunCommand(ID_FILE_LOAD);
    ASSERT_TRUE(ProcessUntil([&] { return DownloadEnded(); }, std::chrono::seconds(60)));

    ASSERT_TRUE(seen.cancelled);
    EXPECT_FALSE(seen.runningAfterCancel);
    ProcessQueued();
    EXPECT_TRUE(seen.window.isNull());
    EXPECT_EQ(m_app.m_nLastLoadResult, kLoadCancelled);
    EXPECT_EQ(seen.waitCaption, "Erasing...");
    EXPECT_EQ(seen.waitMessage, "Please wait while partial file download is erased.");
    EXPECT_TRUE(seen.boxes.isEmpty()) << seen.boxes.join(" | ").toStdString();
    // The partial image was erased again: nothing of it is left in the application region.
    EXPECT_EQ(m_sim.FlashRuns().count(kApplicationAddress), 0u);
    EXPECT_TRUE(LoadEnabledInMenu());
}

} // namespace

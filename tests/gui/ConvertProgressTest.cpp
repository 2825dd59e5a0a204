// File, Convert in the desktop program: the open and save dialogs with their filters and default name,
// the File Progress window (shown while a message is up, gone afterwards), and the File Progress window on
// its own.
#include "GuiTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "gui/download/ProgressDialog.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

CProgressDialog* ProgressWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<CProgressDialog*>(widget))
            return dialog;
    return nullptr;
}

// An S1 record of 16 bytes of 0xAA at the address.
QByteArray Line(uint32_t address) {
    unsigned sum = 0x13 + (address >> 8) + (address & 0xFF) + 16 * 0xAA;
    return QString("S113%1%2%3\n")
        .arg(address, 4, 16, QChar('0'))
        .arg(QString(32, 'A'))
        .arg((~sum) & 0xFF, 2, 16, QChar('0'))
        .toUpper()
        .toLatin1();
}

TEST(ProgressDialog, WindowWithoutButtonsRangeAndSteps) {
    CProgressDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "File Progress");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(dialog.findChildren<QPushButton*>().isEmpty());
    EXPECT_EQ(dialog.findChild<QLabel*>()->text(), "Processing file...");
    dialog.SetProgressRange(3);
    EXPECT_EQ(dialog.Bar()->maximum(), 3);
    EXPECT_EQ(dialog.Bar()->value(), 0);
    for (int i = 0; i < 5; ++i)
        dialog.StepProgress();
    EXPECT_EQ(dialog.Bar()->value(), 3) << "never past the end";
    // An empty range leaves an empty bar rather than a busy indicator.
    dialog.SetProgressRange(0);
    EXPECT_EQ(dialog.Maximum(), 0);
    EXPECT_GT(dialog.Bar()->maximum(), dialog.Bar()->minimum());
    dialog.StepProgress();
    EXPECT_EQ(dialog.Bar()->value(), 0);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible()) << "the person cannot close it";
}

TEST(ConvertFromTheMenu, DialogsProgressWindowAndTheLowerAddressMessage) {
    QTemporaryDir dir;
    CQtUserInterface ui;
    CDravikApp app(&ui);
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.show();
    ProcessQueued();

    // Some 30000 characters of records, then one below them.
    QByteArray text;
    uint32_t address = 0;
    while (text.size() < 30000) {
        text += Line(address);
        address += 16;
    }
    text += Line(0x0100);
    const QString input = dir.filePath("APP.bin");
    const QString output = dir.filePath("chosen.img");
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();

    struct Seen {
        QStringList openFilters, saveFilters;
        QString saveName;
        QStringList boxes;
        QString progressTitle;
        int progressMaximum = -1, progressValue = -1;
    } seen;
    CGuiWatcher watcher([&](QWidget* modal) {
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            if (files->acceptMode() == QFileDialog::AcceptOpen) {
                seen.openFilters = files->nameFilters();
                files->selectFile(input);
            } else {
                seen.saveFilters = files->nameFilters();
                seen.saveName = QFileInfo(files->selectedFiles().value(0)).fileName();
                files->selectFile(output);
            }
            QMetaObject::invokeMethod(files, "accept");
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.boxes << box->text();
            if (CProgressDialog* progress = ProgressWindow()) {
                seen.progressTitle = progress->windowTitle();
                seen.progressMaximum = progress->Bar()->maximum();
                seen.progressValue = progress->Bar()->value();
            }
            box->button(QMessageBox::Ok)->click();
        }
    });
    frame.RunCommand(ID_FILE_CONVERT);
    EXPECT_FALSE(frame.IsCommandRunning()) << "the conversion runs on the GUI thread";
    ProcessQueued();

    EXPECT_EQ(seen.openFilters, QStringList{"Software S-Record Files (*.bin)"});
    EXPECT_EQ(seen.saveFilters, QStringList{"Software Image Files (*.img)"});
    EXPECT_EQ(seen.saveName, "APP.img");
    const QString lower = QString::asprintf(
        "Address Jump to lower address detected!\nThis is not allowed!\n(0x%X --> 0x100 )", address);
    EXPECT_EQ(seen.boxes.join('|').toStdString(), lower.toStdString());
    EXPECT_EQ(seen.progressTitle, "File Progress");
    EXPECT_EQ(seen.progressMaximum, 3);
    EXPECT_EQ(seen.progressValue, 2);
    EXPECT_EQ(ProgressWindow(), nullptr) << "the window goes with the conversion";
    // The records before the lower one stay in the image: one address record and their data.
    EXPECT_EQ(QFileInfo(output).size(), 9 + qint64(address));
}

} // namespace

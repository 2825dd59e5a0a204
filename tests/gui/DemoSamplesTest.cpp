// The demo's sample files: made by the build, offered by the demo's Load and Convert dialogs, and the
// S-record sample converts to exactly the sample image.
#include "GuiTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "gui/app/DemoSession.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(DemoSamples, LoadAndConvertDialogsOpenAmongTheSamplesWhichConvertToTheSampleImage) {
    const QString samples = QString::fromStdString(CDemoSession::SamplesFolder());
    ASSERT_FALSE(samples.isEmpty()) << "the build makes the sample folder";
    const QStringList files = QDir(samples).entryList(QDir::Files);
    for (const char* name : {"dxu-application.bin", "dxu-application.img", "config.dat"})
        EXPECT_TRUE(files.contains(name)) << name;

    QTemporaryDir dir;
    const QString output = dir.filePath("converted.img");
    CQtUserInterface ui;
    ui.SetDefaultFolder(samples.toStdString());
    CDravikApp app(&ui);
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.show();
    ProcessQueued();

    QStringList folders;
    QStringList boxes;
    CGuiWatcher watcher([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            folders << dialog->directory().absolutePath();
            if (dialog->acceptMode() == QFileDialog::AcceptOpen && folders.size() == 1) {
                QMetaObject::invokeMethod(dialog, "reject"); // the Load dialog: only looked at
                return;
            }
            dialog->selectFile(dialog->acceptMode() == QFileDialog::AcceptOpen
                                   ? QDir(samples).filePath("dxu-application.bin")
                                   : output);
            QMetaObject::invokeMethod(dialog, "accept");
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes << box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    EXPECT_FALSE(app.LoadFile(2));
    frame.RunCommand(ID_FILE_CONVERT);
    ProcessQueued();

    ASSERT_EQ(folders.size(), 3) << folders.join('|').toStdString();
    EXPECT_EQ(folders[0], QDir(samples).absolutePath()) << "Load";
    EXPECT_EQ(folders[1], QDir(samples).absolutePath()) << "Convert's input";
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
    const QByteArray image = Contents(QDir(samples).filePath("dxu-application.img"));
    EXPECT_GT(image.size(), 40000);
    EXPECT_EQ(Contents(output), image);
}

} // namespace

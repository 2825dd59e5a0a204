// The dialogs through the user-interface port: Port Setup and its effects on the settings, About, the wait
// window, message boxes and file dialog filters.
#include "GuiTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "gui/app/GuiCaller.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "gui/dialogs/AboutDlg.h"
#include "gui/dialogs/MessageDialog.h"
#include "gui/link/CommDialog.h"
#include "platform/SystemPaths.h"
#include "support/FakeSystemTree.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class DialogsTest : public testing::Test {
protected:
    DialogsTest() : m_app(&m_ui), m_frame(m_app) {
        m_ui.SetMainFrame(&m_frame);
        m_frame.show();
        m_app.m_strSettingsPath = m_dir.filePath("Dravik.cfg").toStdString();
        m_app.m_strWizard = "WE";
        m_app.ForgoWizardStart(); // "WE" would open the welcome page on the first idle pass
        m_app.m_strPort = "COM3";
        m_app.m_nLinkKind = kLinkCom;
        ProcessQueued();
    }

    QByteArray SettingsFile() const {
        QFile file(QString::fromStdString(m_app.m_strSettingsPath));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void WriteSettingsFile(const QByteArray& content) {
        QFile file(QString::fromStdString(m_app.m_strSettingsPath));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir m_dir;
    CQtUserInterface m_ui;
    CDravikApp m_app;
    CMainFrame m_frame;
};

TEST_F(DialogsTest, PortSetupOpensOnCurrentPortAndComThenOkRewritesSettings) {
    WriteSettingsFile("COM3\nWE\nDBGD\nuseCOM\nextra line\n");
    // The computer's serial ports follow COM1..COM9.
    CFakeSystemTree tree;
    tree.AddUsbTty("ttyUSB0", "ftdi_sio", {0x0403, 0x6001, "FTDI", "FT232R"}, 1);
    SetSystemPaths(tree.Paths());
    QString selected;
    bool comChosen = false;
    QStringList entries;
    QString title;
    OnNextModal<CCommDialog>([&](CCommDialog* dialog) {
        title = dialog->windowTitle();
        selected = dialog->PortList()->currentText();
        comChosen = dialog->ComChoice()->isChecked();
        for (int i = 0; i < dialog->PortList()->count(); ++i)
            entries << dialog->PortList()->itemText(i);
        dialog->accept();
    });
    m_app.OnCommand(ID_SETUP_PORT);
    SetSystemPaths({});
    EXPECT_EQ(title, "COM Port");
    EXPECT_EQ(selected, "COM3");
    EXPECT_TRUE(comChosen);
    EXPECT_EQ(entries, (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                                    QString::fromStdString(tree.Dev("ttyUSB0"))}));
    // Unchanged choice, yet the file is written anew (the extra line is gone).
    EXPECT_EQ(SettingsFile(), "COM3\nWE\nDBGD\nuseCOM\n");
    EXPECT_EQ(m_app.m_strPort, "COM3");
}

TEST_F(DialogsTest, PortSetupCancelChangesNothing) {
    WriteSettingsFile("COM3\nWE\nDBGD\nuseCOM\nextra line\n");
    OnNextModal<CCommDialog>([](CCommDialog* dialog) {
        dialog->PortList()->setEditText("COM5");
        dialog->UsbChoice()->setChecked(true);
        dialog->reject();
    });
    m_app.OnCommand(ID_SETUP_PORT);
    EXPECT_EQ(m_app.m_strPort, "COM3");
    EXPECT_EQ(m_app.m_nLinkKind, kLinkCom);
    EXPECT_EQ(SettingsFile(), "COM3\nWE\nDBGD\nuseCOM\nextra line\n");
}

TEST_F(DialogsTest, PortSetupChoosingUsbWithoutDeviceSetsKindTwo) {
    m_app.m_bUsbPresent = false;
    OnNextModal<CCommDialog>([](CCommDialog* dialog) {
        dialog->UsbChoice()->setChecked(true);
        dialog->accept();
    });
    m_app.OnCommand(ID_SETUP_PORT);
    EXPECT_EQ(m_app.m_nLinkKind, kLinkUsb);
    EXPECT_EQ(SettingsFile(), "COM3\nWE\nDBGD\nuseUSB\n");
    ProcessQueued();
    EXPECT_EQ(m_frame.LinkPaneText(), "USB disconnected");
}

TEST_F(DialogsTest, PortSetupWithUsbKindOpensWithUsbChosen) {
    m_app.m_nLinkKind = kLinkUsb;
    bool usbChosen = false;
    OnNextModal<CCommDialog>([&](CCommDialog* dialog) {
        usbChosen = dialog->UsbChoice()->isChecked();
        dialog->reject();
    });
    m_app.OnCommand(ID_SETUP_PORT);
    EXPECT_TRUE(usbChosen);
}

TEST_F(DialogsTest, PortSetupTakesTypedTextAsShown) {
    OnNextModal<CCommDialog>([](CCommDialog* dialog) {
        dialog->PortList()->setEditText("COM12");
        dialog->accept();
    });
    m_app.OnCommand(ID_SETUP_PORT);
    EXPECT_EQ(m_app.m_strPort, "COM12");
    EXPECT_EQ(SettingsFile(), "COM1\nWE\nDBGD\nuseCOM\n"); // only four characters are stored
}

TEST(CommDialog, SelectsFirstEntryBeginningWithThePortIgnoringCase) {
    CCommDialog lower(nullptr, 0, "com4");
    EXPECT_EQ(lower.PortList()->currentText(), "COM4");
    CCommDialog device(nullptr, 0, "/dev/ttyUSB1", {"/dev/ttyUSB10", "/dev/ttyUSB1"});
    EXPECT_EQ(device.PortList()->currentIndex(), 10);
    CCommDialog unplugged(nullptr, 0, "/dev/ttyUSB1", {"/dev/ttyUSB10"});
    EXPECT_EQ(unplugged.PortList()->currentIndex(), -1) << "never another port that begins alike";
    CCommDialog unknown(nullptr, 0, "COM12");
    EXPECT_EQ(unknown.PortList()->currentIndex(), -1);
    EXPECT_EQ(unknown.PortList()->currentText(), "");
    EXPECT_TRUE(lower.PortList()->isEditable());
}

TEST_F(DialogsTest, AboutShowsNameAndVersion) {
    QString title, name, version;
    OnNextModal<CAboutDlg>([&](CAboutDlg* dialog) {
        title = dialog->windowTitle();
        name = dialog->findChild<QLabel*>("productName")->text();
        version = dialog->VersionText();
        dialog->findChild<QPushButton*>()->click();
    });
    m_app.OnCommand(ID_APP_ABOUT);
    EXPECT_EQ(title, "About Dravik");
    EXPECT_EQ(name, "Arvenco Dravik Download Utility");
    EXPECT_EQ(version, "5120-41887 Version 4.0");
}

TEST_F(DialogsTest, WaitWindowFromAWorkerShowsTitleAndTextCentredAndCannotBeClosed) {
    struct Seen {
        QString title, message;
        bool visible = false, stillVisibleAfterClose = false, modal = true;
        QPoint centre;
    } seen;
    bool goneAfterDelete = false;
    std::atomic<bool> done{false};
    CGuiCaller caller;
    std::thread worker([&] {
        auto wait = m_ui.CreateWaitWindow("Erasing...", "Please wait while memory is erased.");
        caller.Call([&] {
            auto* dialog = m_frame.findChild<CMessageDialog*>();
            ASSERT_NE(dialog, nullptr);
            seen.title = dialog->windowTitle();
            seen.message = dialog->Message();
            seen.visible = dialog->isVisible();
            seen.modal = dialog->isModal();
            seen.centre = dialog->frameGeometry().center();
            dialog->close();
            seen.stillVisibleAfterClose = dialog->isVisible();
        });
        wait.reset();
        caller.Call([&] { goneAfterDelete = m_frame.findChild<CMessageDialog*>() == nullptr; });
        done = true;
    });
    EXPECT_TRUE(ProcessUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(seen.title, "Erasing...");
    EXPECT_EQ(seen.message, "Please wait while memory is erased.");
    EXPECT_TRUE(seen.visible);
    EXPECT_FALSE(seen.modal);
    EXPECT_TRUE(seen.stillVisibleAfterClose);
    EXPECT_LE((seen.centre - m_frame.frameGeometry().center()).manhattanLength(), 4);
    EXPECT_TRUE(goneAfterDelete);
}

TEST_F(DialogsTest, WaitWindowHasNoButtons) {
    auto wait = m_ui.CreateWaitWindow(
        "Connect...", "Please reset controller.  Dravik will wait 30s for controller to connect.");
    auto* dialog = m_frame.findChild<CMessageDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->findChildren<QPushButton*>().isEmpty());
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    wait->SetMessage("Please wait while file is saved.");
    EXPECT_EQ(dialog->Message(), "Please wait while file is saved.");
}

TEST_F(DialogsTest, MessageBoxFromAWorkerBlocksUntilAnswered) {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::No)->click();
    });
    std::atomic<int> answer{0};
    std::thread worker(
        [&] { answer = m_ui.MessageBox("Exit Upgrade Wizard?", EMsgButtons::YesNo, EMsgIcon::Question); });
    EXPECT_TRUE(ProcessUntil([&] { return answer.load() != 0; }));
    worker.join();
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(caption, "Dravik");
    EXPECT_EQ(text, "Exit Upgrade Wizard?");
    EXPECT_EQ(icon, QMessageBox::Question);
}

TEST_F(DialogsTest, MessageBoxOnTheGuiThreadRunsDirectly) {
    OnNextModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Retry)->click(); });
    EXPECT_EQ(m_ui.MessageBox("Retry?", EMsgButtons::RetryCancel, EMsgIcon::Warning), IDRETRY);
}

TEST_F(DialogsTest, FailureReasonStandsUnderTheMessageAsPlainText) {
    QString text, informative;
    Qt::TextFormat format = Qt::AutoText, informativeFormat = Qt::AutoText;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        informative = box->informativeText();
        format = box->textFormat();
        if (auto* label = box->findChild<QLabel*>("qt_msgbox_informativelabel"))
            informativeFormat = label->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    m_ui.MessageBoxWithReason("Error opening specified COM port.",
                              {"Port busy: <b>x</b> && y", "To fix: close that program."});
    EXPECT_EQ(text, "Error opening specified COM port.");
    EXPECT_EQ(informative, "Port busy: <b>x</b> && y\nTo fix: close that program.");
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(informativeFormat, Qt::PlainText) << "the reason's markup shows as typed";
}

TEST_F(DialogsTest, SaveDialogAddsTheDefaultExtensionAndCancelGivesNothing) {
    FileDialogRequest request;
    request.bOpen = false;
    request.strTitle = "Save data to file: ";
    request.strFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
    request.strDefaultExt = "*.txt";
    request.strInitialDir = m_dir.path().toStdString();
    QString title;
    QStringList filters;
    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        dialog->selectFile("dump");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    std::string path;
    ASSERT_TRUE(m_ui.GetFileName(request, path));
    EXPECT_EQ(QString::fromStdString(path), m_dir.filePath("dump.txt"));
    EXPECT_EQ(title, "Save data to file: ");
    EXPECT_EQ(filters, (QStringList{"Text Files (*.txt)", "All Files (*)"}));

    OnNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    path.clear();
    EXPECT_FALSE(m_ui.GetFileName(request, path));
    EXPECT_TRUE(path.empty());
}

TEST(FileDialogFilter, PairsBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilters("Software Files (*.img)|*.img|All Files (*.*)|*.*||"),
              "Software Files (*.img);;All Files (*)");
    EXPECT_EQ(QtNameFilters("Config (*.dat;*.htm)|*.dat;*.htm||"), "Config (*.dat *.htm)");
    EXPECT_EQ(QtNameFilters("Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"),
              "Text Files (*.txt);;All Files (*)");
}

} // namespace

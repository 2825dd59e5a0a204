// The "ZModem" window: its fields and buttons, Cancel that only asks (the window stays until the
// transfer ends), and whole transfers to rz through the desktop face, from a command thread and from
// the GUI thread itself.
#include "gui/zmodem/ZModemWindow.h"
#include "GuiTestSupport.h"
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/zmodem/ZModemDlg.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "integration/ZModemReceiver.h"
#include "platform/Clock.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

CZModemWindow* FindZModemWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<CZModemWindow*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

TEST(ZModemWindow, FieldsButtonsAndModality) {
    int cancels = 0;
    int toggles = 0;
    CZModemWindow window([&] { ++cancels; }, [&] { ++toggles; });
    ProcessQueued();
    EXPECT_EQ(window.windowTitle(), "ZModem");
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(window.CancelButton()->text(), "&Cancel");
    EXPECT_EQ(window.UnitButton()->text(), "&bps/cps");

    QStringList labels;
    for (const QLabel* label : window.findChildren<QLabel*>())
        labels << label->text();
    for (const char* text : {"Filename", "Progress", "Speed", "Transmitted bytes", "Elapsed time",
                             "Remaining time", "Start time"})
        EXPECT_TRUE(labels.contains(text)) << text;
    for (EZModemField id : {EZModemField::FileName, EZModemField::Speed, EZModemField::Bytes,
                            EZModemField::Elapsed, EZModemField::Remaining, EZModemField::Start}) {
        ASSERT_NE(window.FieldEdit(id), nullptr) << FieldNumber(id);
        EXPECT_TRUE(window.FieldEdit(id)->isReadOnly());
    }
    window.SetField(EZModemField::Bytes, "5040 / 10000 (50%)");
    EXPECT_EQ(window.Field(EZModemField::Bytes), "5040 / 10000 (50%)");

    window.SetProgressRange(0); // an empty file
    EXPECT_EQ(window.ProgressBar()->maximum(), 1);
    EXPECT_EQ(window.ProgressBar()->value(), 0);
    window.SetProgressRange(3000000000u);
    window.SetProgressPos(1500000000u);
    EXPECT_NEAR(static_cast<double>(window.ProgressBar()->value()) / window.ProgressBar()->maximum(), 0.5,
                0.01);

    window.UnitButton()->click();
    window.UnitButton()->click();
    EXPECT_EQ(toggles, 2);
}

TEST(ZModemWindow, CancelEscapeCloseAndEnterLeaveTheWindowUp) {
    int cancels = 0;
    CZModemWindow window([&] { ++cancels; }, [] {});
    ProcessQueued();
    window.CancelButton()->click();
    EXPECT_EQ(cancels, 1);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&window, &escape);
    EXPECT_EQ(cancels, 2);
    window.close();
    EXPECT_EQ(cancels, 3);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    ProcessQueued();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(cancels, 3);
}

class ZModemDesktopTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        m_content.resize(30000);
        for (size_t i = 0; i < m_content.size(); ++i)
            m_content[i] = static_cast<uint8_t>(i ^ (i >> 8));
        m_strPath = m_sources.Write("page.htm", m_content);
        ASSERT_TRUE(m_rz.Start());
        int result = -1;
        m_pLink = std::make_unique<CSerialHandler>(m_context, m_rz.Pty().SlavePath(), kSettingNormal, result,
                                                   false);
        ASSERT_EQ(result, CSerialHandler::kOpenOk);
        ASSERT_TRUE(m_pLink->WaitForByte('*'));
    }
    int Send() {
        const ZModemOptions options{1, 1, 0};
        return ZModemSendFile(m_ui, m_strPath, &options, *m_pLink);
    }

    CClockSpeedScope m_speed{10};
    CQtUserInterface m_ui;
    CLinkContext m_context{&m_ui};
    CTempFolder m_sources;
    CRzReceiver m_rz;
    Bytes m_content;
    std::string m_strPath;
    std::unique_ptr<CSerialHandler> m_pLink;
};

TEST_F(ZModemDesktopTransfer, FromACommandThread) {
    std::atomic<bool> done{false};
    std::atomic<int> result{-1};
    QString shownName;
    bool sawWindow = false;
    std::thread command([&] {
        result = Send();
        done = true;
    });
    CGuiWatcher watcher([](QWidget*) {},
                        [&] {
                            if (CZModemWindow* window = FindZModemWindow()) {
                                sawWindow = true;
                                shownName = window->Field(EZModemField::FileName);
                            }
                        });
    EXPECT_TRUE(ProcessUntil([&] { return done.load(); }));
    command.join();
    EXPECT_EQ(result, ZModemOk);
    EXPECT_TRUE(sawWindow);
    EXPECT_EQ(shownName, "page.htm");
    ProcessQueued();
    EXPECT_EQ(FindZModemWindow(), nullptr);
    EXPECT_EQ(m_rz.Wait(5s), 0);
    EXPECT_EQ(m_rz.Folder().Read("page.htm"), m_content);
}

TEST_F(ZModemDesktopTransfer, FromTheGuiThreadItself) {
    // The wizard's loads run on the GUI thread: the window's own loop serves the worker's calls.
    QString finalBytes;
    CGuiWatcher watcher([](QWidget*) {},
                        [&] {
                            if (CZModemWindow* window = FindZModemWindow())
                                finalBytes = window->Field(EZModemField::Bytes);
                        });
    EXPECT_EQ(Send(), ZModemOk);
    EXPECT_EQ(finalBytes, "30K / 30K (100%)");
    ProcessQueued();
    EXPECT_EQ(FindZModemWindow(), nullptr);
    EXPECT_EQ(m_rz.Wait(5s), 0);
    EXPECT_EQ(m_rz.Folder().Read("page.htm"), m_content);
}

} // namespace

// The Erase Memory and Controller Options dialogs: their controls and labels by connection state, what
// they hand back, and both commands from the menu against the simulated controller, the dialogs answered
// while the command thread waits.
#include "GuiTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "gui/dialogs/EraseDialog.h"
#include "gui/dialogs/OptionsDialog.h"
#include "platform/Clock.h"
#include "sim/Simulator.h"
#include "support/SimTraceEvents.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList AreaLabels(const CEraseDialog& dialog) {
    QStringList labels;
    for (int i = 0; i < kEraseAreaCount; ++i)
        labels << dialog.AreaBox(static_cast<EEraseArea>(i))->text();
    return labels;
}

QList<bool> AreaEnabled(const CEraseDialog& dialog) {
    QList<bool> enabled;
    for (int i = 0; i < kEraseAreaCount; ++i)
        enabled << dialog.AreaBox(static_cast<EEraseArea>(i))->isEnabled();
    return enabled;
}

TEST(EraseDialog, LabelsAndEnabledBoxesByConnectionState) {
    for (int kind : {ConnectNone, ConnectBios}) {
        CEraseDialog dialog(nullptr, kind);
        EXPECT_EQ(dialog.windowTitle(), "Erase Memory");
        EXPECT_EQ(AreaLabels(dialog),
                  (QStringList{"Application Files", "Screen Configuration Files", "Parameter Memory",
                               "Veloria Configuration", "LON Network Database"}));
        EXPECT_EQ(AreaEnabled(dialog), (QList<bool>{true, true, true, true, true}));
        QStringList texts;
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            texts << label->text();
        EXPECT_TRUE(texts.contains("Select area to erase:"));
    }
    CEraseDialog bootstrap(nullptr, ConnectBootstrap);
    EXPECT_EQ(AreaLabels(bootstrap), (QStringList{"DXU Application File", "Data Files", "Parameter Memory",
                                                  "Comm. Board File", "LON Network Database"}));
    EXPECT_EQ(AreaEnabled(bootstrap), (QList<bool>{true, true, false, true, false}));
}

TEST(EraseDialog, HandsBackTheTicksAndNeverADisabledBox) {
    CEraseDialog dialog(nullptr, ConnectBootstrap);
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
        EXPECT_FALSE(box->isChecked()) << "nothing is ticked when it opens";
    dialog.AreaBox(EEraseArea::Configuration)->click();
    dialog.AreaBox(EEraseArea::Veloria)->click();
    dialog.AreaBox(EEraseArea::Parameter)->setChecked(true); // even if it were ticked somehow
    EraseDialogData data;
    dialog.GetAreas(data);
    EXPECT_EQ(std::vector<bool>(data.bArea, data.bArea + kEraseAreaCount),
              (std::vector<bool>{false, true, false, true, false}));
}

TEST(OptionsDialog, TwoIndependentGroupsThatOpenEmpty) {
    COptionsDialog dialog(nullptr);
    EXPECT_EQ(dialog.windowTitle(), "RZN Configuration Options");
    QStringList groups;
    for (const QGroupBox* group : dialog.findChildren<QGroupBox*>())
        groups << group->title();
    EXPECT_EQ(groups, (QStringList{"RS232 Port Options", "IR Port Options"}));
    const QStringList labels{"OS Configured", "Application Configured", "TCP/IP Client", "TCP/IP Server"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dialog.Choice(EOptionsGroup::Rs232, i)->text(), labels[i]);
        EXPECT_EQ(dialog.Choice(EOptionsGroup::Ir, i)->text(), labels[i]);
    }
    OptionsDialogData data;
    data.nRs232Choice = 2; // whatever was there before
    data.nIrChoice = 2;
    dialog.GetChoices(data);
    EXPECT_EQ(data.nRs232Choice, -1);
    EXPECT_EQ(data.nIrChoice, -1);

    dialog.Choice(EOptionsGroup::Rs232, 1)->click();
    dialog.Choice(EOptionsGroup::Rs232, 3)->click(); // replaces the first in its own group
    dialog.Choice(EOptionsGroup::Ir, 0)->click();    // the other group keeps its own choice
    dialog.GetChoices(data);
    EXPECT_EQ(data.nRs232Choice, 3);
    EXPECT_EQ(data.nIrChoice, 0);
    EXPECT_FALSE(dialog.Choice(EOptionsGroup::Rs232, 1)->isChecked());
}

class CommandDialogsTest : public testing::Test {
protected:
    CommandDialogsTest() : m_app(&m_ui), m_frame(m_app) {
        m_ui.SetMainFrame(&m_frame);
        m_frame.show();
        m_app.m_strSettingsPath = m_dir.filePath("Dravik.cfg").toStdString();
        m_strTrace = m_dir.filePath("trace.jsonl").toStdString();
        SimOptions options;
        options.nDoneDelayMs = 10;
        options.strTracePath = m_strTrace;
        std::string error;
        EXPECT_TRUE(m_sim.Start(options, error)) << error;
        m_app.m_strPort = m_sim.SlavePath();
        m_app.m_nLinkKind = kLinkCom;
        m_app.m_nConnectState = ConnectBios;
        ProcessQueued();
    }
    // Runs the command from the menu and answers its windows until it has finished.
    void Run(int commandId, const std::function<void(QWidget*)>& answer) {
        CGuiWatcher watcher([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                m_boxes << box->text();
                box->button(QMessageBox::Ok)->click();
                return;
            }
            answer(modal);
        });
        m_frame.RunCommand(commandId);
        EXPECT_TRUE(m_frame.IsCommandRunning()) << "the command runs off the GUI thread";
        ASSERT_TRUE(ProcessUntil([&] { return !m_frame.IsCommandRunning(); }));
        ProcessQueued();
    }
    std::vector<std::string> Wire() const { return ReadSimTraceEvents(m_strTrace); }

    CClockSpeedScope m_fast{20.0};
    QTemporaryDir m_dir;
    std::string m_strTrace;
    CSimulator m_sim;
    CQtUserInterface m_ui;
    CDravikApp m_app;
    CMainFrame m_frame;
    QStringList m_boxes;
};

TEST_F(CommandDialogsTest, EraseFromTheMenuTicksTwoAreasAndReportsCompletion) {
    QStringList labels;
    Run(ID_COMMANDS_ERASE, [&](QWidget* modal) {
        auto* dialog = qobject_cast<CEraseDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        labels = AreaLabels(*dialog);
        dialog->AreaBox(EEraseArea::Application)->click();
        dialog->AreaBox(EEraseArea::Lon)->click();
        dialog->findChild<QPushButton*>("ok")->click();
    });
    EXPECT_EQ(labels.value(0), "Application Files");
    EXPECT_EQ(Wire(), (std::vector<std::string>{"+++0", "+++1", "+++B"}));
    EXPECT_EQ(m_boxes, QStringList{"Memory erasure complete."});
}

TEST_F(CommandDialogsTest, EraseCancelledSendsNothing) {
    Run(ID_COMMANDS_ERASE, [&](QWidget* modal) {
        auto* dialog = qobject_cast<CEraseDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->AreaBox(EEraseArea::Application)->click();
        dialog->findChild<QPushButton*>("cancel")->click();
    });
    EXPECT_TRUE(Wire().empty());
    EXPECT_TRUE(m_boxes.isEmpty());
}

TEST_F(CommandDialogsTest, OptionsFromTheMenuSendOneCommandPerPortAndReopenEmpty) {
    Run(ID_COMMANDS_OPTIONS, [&](QWidget* modal) {
        auto* dialog = qobject_cast<COptionsDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->Choice(EOptionsGroup::Rs232, 2)->click(); // TCP/IP Client
        dialog->Choice(EOptionsGroup::Ir, 0)->click();    // OS Configured
        dialog->findChild<QPushButton*>("ok")->click();
    });
    EXPECT_EQ(Wire(), (std::vector<std::string>{"+++G", "+++I"}));

    bool anyChecked = true;
    Run(ID_COMMANDS_OPTIONS, [&](QWidget* modal) {
        auto* dialog = qobject_cast<COptionsDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        anyChecked = false;
        for (EOptionsGroup group : {EOptionsGroup::Rs232, EOptionsGroup::Ir})
            for (int choice = 0; choice < 4; ++choice)
                anyChecked = anyChecked || dialog->Choice(group, choice)->isChecked();
        dialog->accept();
    });
    EXPECT_FALSE(anyChecked);
    EXPECT_EQ(Wire(), (std::vector<std::string>{"+++G", "+++I"}));
    EXPECT_TRUE(m_boxes.isEmpty());
}

} // namespace

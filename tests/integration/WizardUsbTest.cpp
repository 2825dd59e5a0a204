// The Upgrade Wizard's step after the cable page on USB, on the in-process simulated bus: no device, a
// controller that needs no restart, one that restarts into its bootstrap, and the two refusals.
#include "engine/app/DravikApp.h"
#include "platform/Clock.h"
#include "sim/UsbSimController.h"
#include "sim/UsbSimHub.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

const std::string kExitQuestion = "Exit Upgrade Wizard?";
const std::string kExitMessage = "Upgrade Wizard Exiting.\nTo restart the Upgrade Wizard from the "
                                 "Dravik\nmenu select 'File->Upgrade Wizard'.";
const std::string kNotPlugged =
    "USB is not plugged in!\nPlease connect USB cable and check the controller is "
    "powered!\nPress YES if ready to continue.";
const std::string kRestartFailed = "Restarting the Controller failed!\nExit Upgrade Wizard?";

TEST(WizardUsbTest, TheStepAfterTheCablePage) {
    CClockSpeedScope fast(20);
    struct Row {
        const char* pszName;
        std::optional<EUsbRestartMode> device; // none: nothing plugged in
        int nAnswer;                           // to the step's own question, if it asks one
        std::vector<int> pages;
        std::vector<std::string> messages;
        int nConnectState;
    };
    const Row rows[] = {
        {"not plugged in, No",
         std::nullopt,
         IDNO,
         {1, 2, 2},
         {kNotPlugged, kExitQuestion, kExitMessage},
         ConnectNone},
        {"no restart needed",
         EUsbRestartMode::NotNeeded,
         0,
         {1, 2, 4},
         {kExitQuestion, kExitMessage},
         ConnectBios},
        {"restart accepted",
         EUsbRestartMode::Accept,
         0,
         {1, 2, 4},
         {kExitQuestion, kExitMessage},
         ConnectBootstrap},
        {"refused in RUN, exit",
         EUsbRestartMode::RefuseRun,
         IDYES,
         {1, 2},
         {"Restart rejected by DXU 'RUN' state!\nStop DXU and retry to connect!", kRestartFailed,
          kExitMessage},
         ConnectNone},
        {"bootstrap without USB, stay",
         EUsbRestartMode::OldBootstrap,
         IDNO,
         {1, 2, 2},
         {"This DXU Bootstrap (V2.0) does not support USB!\nUse RS-232 or upgrade the Bootstrap software\nto "
          "at "
          "least Version 2.1 in order to use USB.",
          kRestartFailed, kExitQuestion, kExitMessage},
         ConnectNone},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pszName);
        CTempFolder folder;
        auto hub = std::make_shared<CUsbSimHub>();
        SelectHidLibrary(hub);
        std::unique_ptr<CUsbSimController> controller;
        if (row.device) {
            SUsbSimOptions usb;
            usb.eRestart = *row.device;
            SimOptions options;
            options.strProtocol = "PL01";
            controller = std::make_unique<CUsbSimController>(hub->AddDevice(usb), options);
        }
        {
            CTestUserInterface ui;
            CDravikApp app(&ui);
            app.m_strSettingsPath = folder.File("Dravik.cfg");
            app.LoadSettings();
            app.m_nLinkKind = kLinkUsb;
            app.WatchUsbDevices();
            app.CheckUsbDevice();
            ASSERT_EQ(app.m_bUsbPresent.load(), row.device.has_value());

            ui.QueueWizardPage(kWizardNext); // welcome
            ui.QueueWizardPage(kWizardNext); // cable
            if (row.nAnswer != 0)
                ui.QueueAnswer(row.nAnswer);
            ui.QueueWizardPage(IDCANCEL); // the page that follows
            ui.QueueAnswer(IDYES);        // exit
            app.m_bWizardRequest = true;
            app.OnIdle(1);
            ASSERT_TRUE(WaitUntil([&] {
                app.OnIdle(1);
                ui.RunPosted();
                return !app.m_bWizardRunning;
            }));
            ui.RunPosted();
            EXPECT_EQ(ui.WizardPages(), row.pages);
            EXPECT_EQ(ui.Messages(), row.messages);
            EXPECT_EQ(app.m_nConnectState, row.nConnectState);
        }
        controller.reset();
        SelectHidLibrary(nullptr);
    }
}

} // namespace

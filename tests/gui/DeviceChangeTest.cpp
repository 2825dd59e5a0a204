// Device arrival and removal reach the application on the GUI thread through the main window, here with
// the in-process simulated USB bus as the HID library.
#include "GuiTestSupport.h"
#include "engine/app/CommandIds.h"
#include "engine/app/DravikApp.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "platform/HidLibrary.h"
#include "sim/UsbSimHub.h"

#include <gtest/gtest.h>

namespace {

// Puts the simulated bus in place of the process's HID library for one test.
class CSimulatedBusScope {
public:
    CSimulatedBusScope() : m_pPrevious(CurrentHidLibrary()), m_pHub(std::make_shared<CUsbSimHub>()) {
        SelectHidLibrary(m_pHub);
    }
    ~CSimulatedBusScope() { SelectHidLibrary(m_pPrevious); }
    CUsbSimHub& Hub() { return *m_pHub; }

private:
    std::shared_ptr<IHidLibrary> m_pPrevious;
    std::shared_ptr<CUsbSimHub> m_pHub;
};

TEST(DeviceChange, ArrivalAndRemovalFollowTheControllerOnTheBus) {
    CSimulatedBusScope bus;
    {
        CQtUserInterface ui;
        CDravikApp app(&ui);
        app.m_nLinkKind = kLinkUsb;
        CMainFrame frame(app);
        ui.SetMainFrame(&frame);
        frame.show();
        app.OnStatusRefresh();
        EXPECT_EQ(frame.LinkPaneText(), "USB disconnected");

        auto device = bus.Hub().AddDevice();
        EXPECT_TRUE(ProcessUntil([&] { return frame.LinkPaneText() == "USB connected"; }));
        EXPECT_TRUE(app.m_bUsbPresent);
        EXPECT_TRUE(app.m_usbDevice.IsOpen());

        bus.Hub().Unplug(device);
        EXPECT_TRUE(ProcessUntil([&] { return frame.LinkPaneText() == "USB disconnected"; }));
        EXPECT_FALSE(app.m_bUsbPresent);
        EXPECT_FALSE(app.m_usbDevice.IsOpen());
    }
    EXPECT_EQ(bus.Hub().OpenHandles(), 0u);
}

} // namespace

namespace {

TEST(DeviceChange, UsbTerminalBytesWakeThePumpWithoutATimer) {
    CSimulatedBusScope bus;
    auto device = bus.Hub().AddDevice();
    {
        CQtUserInterface ui;
        CDravikApp app(&ui);
        app.m_nLinkKind = kLinkUsb;
        CMainFrame frame(app);
        ui.SetMainFrame(&frame);
        frame.show();
        app.CheckUsbDevice();
        ASSERT_TRUE(app.m_usbDevice.IsOpen());
        frame.RunCommand(ID_COMMANDS_TERMINAL);
        ASSERT_EQ(app.m_nTerminalMode, 1);
        ProcessQueued();
        EXPECT_FALSE(frame.IdleTimerArmed()) << "an idle terminal arms no timer";

        const std::string text = "DXU> ready\r\n";
        device->SendToHost(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        EXPECT_TRUE(ProcessUntil([&] { return app.m_terminal.Lines().size() >= 2; }));
        EXPECT_EQ(app.m_terminal.Lines().front(), "DXU> ready");
        app.m_usbDevice.Close();
    }
}

} // namespace

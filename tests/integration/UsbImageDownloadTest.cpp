// The image download over the simulated USB controller: the same frames as over COM, but no line speed
// changes and the link opened once.
#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"
#include "platform/Clock.h"
#include "sim/SimTrace.h"
#include "sim/UsbSimController.h"
#include "sim/UsbSimHub.h"
#include "support/SimTraceEvents.h"
#include "support/TempFolder.h"
#include "support/TestUserInterface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace {

TEST(UsbImageDownload, FramesGoThroughTheDeviceAndTheFlashWaitStaysWhileSpeedWaitsGo) {
    // Slow enough that the 9 s of waits that must not come stand out from the work a busy machine stretches.
    CClockSpeedScope fast(5.0);
    const std::string trace = TestTempDir() + "/dravik-usb-download-" + std::to_string(::getpid()) + ".jsonl";
    const std::string image = TestTempDir() + "/dravik-usb-download-" + std::to_string(::getpid()) + ".img";
    std::vector<uint8_t> bytes = {0x7E, 'M', 'R', ':', 0x00, 0x01, 0x00, 0x00, ':'};
    for (int i = 0; i < 300; ++i)
        bytes.push_back(static_cast<uint8_t>(i * 13));
    const std::vector<uint8_t> high = {0x7E, 'M', 'R', ':', 0x00, 0x1E, 0x00, 0x00, ':', 1, 2, 3};
    bytes.insert(bytes.end(), high.begin(), high.end());
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    {
        CSimTrace simTrace;
        ASSERT_TRUE(simTrace.Open(trace));
        SimOptions options;
        options.strProtocol = "PL01";
        options.nDoneDelayMs = 5;
        auto hub = std::make_shared<CUsbSimHub>();
        auto device = hub->AddDevice();
        auto controller = std::make_unique<CUsbSimController>(device, options, &simTrace);
        SelectHidLibrary(hub);

        CTestUserInterface ui;
        {
            CDravikApp app(&ui);
            app.m_nLinkKind = kLinkUsb;
            app.CheckUsbDevice();
            ASSERT_TRUE(app.m_bUsbPresent);
            app.m_nConnectState = ConnectBios;
            app.m_strPathName = image;
            ui.QueueAnswer(IDYES);
            ui.QueueAnswer(IDYES);
            const uint32_t start = CClock::Instance().TickCount();
            app.StartImageDownload();
            app.WaitForDownload();
            const uint32_t took = CClock::Instance().TickCount() - start;
            EXPECT_EQ(app.m_nLastLoadResult, kLoadDoneOsAndApplication);
            // Only the flash programming wait: no 2 s and 7 s waits that go with speed changes.
            EXPECT_GE(took, 5000u);
            EXPECT_LT(took, 12000u);
            EXPECT_EQ(ui.Messages(),
                      (std::vector<std::string>{
                          "This will erase old data on controller.\nDo you really want to continue?",
                          "Download complete.", "Should the controller be restarted now?"}));
        }
        controller.reset();
        SelectHidLibrary(nullptr);
    }
    auto wire = ReadSimTraceEvents(trace);
    wire.erase(std::remove_if(wire.begin(), wire.end(),
                              [](const std::string& e) { return e.rfind("probe", 0) == 0; }),
               wire.end());
    EXPECT_EQ(wire, (std::vector<std::string>{"+++0", "+++1", "+++2", "+++4", "A00010000", "D252", "D48",
                                              "A00000000", "+++4", "A001E0000", "D3", "A00000000", "+++7"}));
    std::remove(trace.c_str());
    std::remove(image.c_str());
}

} // namespace

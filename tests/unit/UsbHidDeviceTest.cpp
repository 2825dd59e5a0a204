// The USB device wrapper on the in-process simulated bus: report cutting, the receive rings and their
// waits, the reader's lifetime.
#include "engine/link/UsbHidDevice.h"
#include "platform/Clock.h"
#include "platform/HidDeviceChoice.h"
#include "sim/UsbSimHub.h"

#include "support/ProcessAccounting.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <dirent.h>
#include <future>
#include <numeric>

namespace {

constexpr uint8_t kIn = 3;

std::vector<uint8_t> Report(uint8_t id, std::vector<uint8_t> data) {
    std::vector<uint8_t> report(CUsbHidDevice::kReportSize, 0);
    report[0] = id;
    report[1] = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), report.begin() + 2);
    return report;
}

class UsbHidDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_hub = std::make_shared<CUsbSimHub>();
        m_sim = m_hub->AddDevice();
        SelectHidLibrary(m_hub);
    }
    void TearDown() override {
        m_device.reset();
        SelectHidLibrary(nullptr);
    }
    void OpenDevice() {
        m_device = std::make_unique<CUsbHidDevice>();
        ASSERT_EQ(m_device->Open(), kHidSuccess);
    }
    // Waits (bounded) until the reader has put this many bytes into ring 1.
    bool WaitForCount(uint32_t count) {
        WaitUntil([&] { return m_device->Count(kIn) >= count; });
        return m_device->Count(kIn) == count;
    }

    std::shared_ptr<CUsbSimHub> m_hub;
    std::shared_ptr<CUsbSimDevice> m_sim;
    std::unique_ptr<CUsbHidDevice> m_device;
};

TEST_F(UsbHidDeviceTest, SendReportCutsStreamsInto58ByteReports) {
    OpenDevice();
    std::vector<uint8_t> data(130);
    std::iota(data.begin(), data.end(), 0);
    m_device->SendReport(4, data.data(), data.size());
    const auto reports = m_sim->OutputReports();
    ASSERT_EQ(reports.size(), 3u);
    const size_t sizes[] = {58, 58, 14};
    std::vector<uint8_t> joined;
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(reports[i].size(), 61u);
        EXPECT_EQ(reports[i][0], 4);
        EXPECT_EQ(reports[i][1], sizes[i]);
        joined.insert(joined.end(), reports[i].begin() + 2, reports[i].begin() + 2 + sizes[i]);
    }
    EXPECT_EQ(joined, data);

    m_sim->ClearOutputReports();
    m_device->SendReport(4, data.data(), 0);
    m_device->SendReport(5, data.data(), 10);
    m_device->SendReport(0, data.data(), 10);
    EXPECT_TRUE(m_sim->OutputReports().empty());
    m_device->SendReport(1, data.data(), 58);
    ASSERT_EQ(m_sim->OutputReports().size(), 1u);
    EXPECT_EQ(m_sim->OutputReports()[0][1], 58);
}

TEST_F(UsbHidDeviceTest, InputReportsFillTheirRingAndWakeAWaitingRead) {
    CClockSpeedScope fast(20);
    OpenDevice();
    auto waiting = std::async(std::launch::async, [this] {
        uint8_t buffer[8] = {};
        size_t count = 5;
        const bool ok = m_device->ReadRing(kIn, buffer, sizeof(buffer), count, 20000);
        return std::make_pair(ok, std::vector<uint8_t>(buffer, buffer + count));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_sim->InjectInputReport(Report(2, {9, 9, 9}));
    m_sim->InjectInputReport(Report(3, {1, 2, 3, 4, 5}));
    auto [ok, bytes] = waiting.get();
    EXPECT_TRUE(ok);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(m_device->Count(1), 0u) << "id 2 goes nowhere";
    EXPECT_EQ(m_device->Count(kIn), 0u);

    m_sim->InjectInputReport(Report(1, {7, 8}));
    WaitUntil([&] { return m_device->Count(1) >= 2; });
    EXPECT_EQ(m_device->Count(1), 2u);
    EXPECT_EQ(m_device->Count(kIn), 0u);
}

TEST_F(UsbHidDeviceTest, ACountBeyondTheReportIsNotBelieved) {
    CUsbHidDevice device;
    std::vector<uint8_t> report = Report(3, std::vector<uint8_t>(59, 0x55));
    report[1] = 200;
    device.StoreReport(report.data(), report.size());
    EXPECT_EQ(device.Count(kIn), 59u);
    const uint8_t shortReport[] = {3};
    device.StoreReport(shortReport, sizeof(shortReport));
    EXPECT_EQ(device.Count(kIn), 59u);
}

TEST_F(UsbHidDeviceTest, AFullRingDropsAndCountsAndKeepsOrderAcrossTheWrap) {
    CUsbHidDevice device;
    uint8_t next = 0;
    auto feed = [&](size_t n) {
        while (n > 0) {
            const size_t k = std::min<size_t>(n, 58);
            std::vector<uint8_t> data(k);
            for (auto& b : data)
                b = next++;
            const auto report = Report(3, data);
            device.StoreReport(report.data(), report.size());
            n -= k;
        }
    };
    feed(8191);
    EXPECT_EQ(device.Count(kIn), 8191u);
    EXPECT_EQ(device.Overflow(kIn), 0u);
    feed(5);
    EXPECT_EQ(device.Count(kIn), 8191u);
    EXPECT_EQ(device.Overflow(kIn), 5u);

    // Take 100, then add 100 more: they wrap around the end of the store and come out in order.
    std::vector<uint8_t> buffer(8192);
    size_t count = 100;
    ASSERT_TRUE(device.ReadRing(kIn, buffer.data(), 100, count, 0));
    ASSERT_EQ(count, 100u);
    for (size_t i = 0; i < 100; ++i)
        ASSERT_EQ(buffer[i], static_cast<uint8_t>(i));
    next = static_cast<uint8_t>(8191 + 5); // the dropped bytes never arrived
    feed(100);
    count = 8191;
    ASSERT_TRUE(device.ReadRing(kIn, buffer.data(), buffer.size(), count, 0));
    ASSERT_EQ(count, 8191u);
    for (size_t i = 0; i < 8091; ++i)
        ASSERT_EQ(buffer[i], static_cast<uint8_t>(100 + i)) << i;
    for (size_t i = 0; i < 100; ++i)
        ASSERT_EQ(buffer[8091 + i], static_cast<uint8_t>(8196 + i)) << i;

    device.ClearRing(kIn);
    EXPECT_EQ(device.Count(kIn), 0u);
    EXPECT_EQ(device.Overflow(kIn), 0u);
}

TEST_F(UsbHidDeviceTest, ReadRingTimeOuts) {
    CClockSpeedScope fast(50);
    CClock& clock = CClock::Instance();
    OpenDevice();
    uint8_t buffer[8] = {};

    // Time-out 0 on an empty ring: fails at once.
    size_t count = 1;
    uint32_t start = clock.TickCount();
    EXPECT_FALSE(m_device->ReadRing(kIn, buffer, 1, count, 0));
    EXPECT_LT(clock.TickCount() - start, 500u);

    // Time-out 1000 with nothing coming: fails after the time-out, not before.
    count = 1;
    start = clock.TickCount();
    EXPECT_FALSE(m_device->ReadRing(kIn, buffer, 1, count, 1000));
    EXPECT_GE(clock.TickCount() - start, 1000u);

    // 3 of 5 wanted bytes come early: delivered when the time-out has passed, and the read succeeds.
    m_sim->InjectInputReport(Report(3, {'a', 'b', 'c'}));
    count = 5;
    start = clock.TickCount();
    EXPECT_TRUE(m_device->ReadRing(kIn, buffer, 5, count, 1000));
    EXPECT_GE(clock.TickCount() - start, 1000u);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "abc");

    // With time-out 0 a read succeeds only when every wanted byte is there; nothing is taken otherwise.
    m_sim->InjectInputReport(Report(3, {'x', 'y'}));
    ASSERT_TRUE(WaitForCount(2));
    count = 3;
    EXPECT_FALSE(m_device->ReadRing(kIn, buffer, 3, count, 0));
    EXPECT_EQ(m_device->Count(kIn), 2u);
    count = 2;
    EXPECT_TRUE(m_device->ReadRing(kIn, buffer, 2, count, 0));
    EXPECT_EQ(count, 2u);

    // A byte that arrives during a 1000 ms wait ends it at once.
    auto late = std::async(std::launch::async, [this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        m_sim->InjectInputReport(Report(3, {'z'}));
    });
    count = 1;
    start = clock.TickCount();
    EXPECT_TRUE(m_device->ReadRing(kIn, buffer, 1, count, 1000));
    EXPECT_EQ(buffer[0], 'z');
    late.get();

    count = 1;
    EXPECT_FALSE(m_device->ReadRing(2, buffer, 1, count, 0));
    EXPECT_FALSE(m_device->ReadRing(kIn, nullptr, 1, count, 0));
}

TEST_F(UsbHidDeviceTest, PopByteTakesOneByteAtATime) {
    CClockSpeedScope fast(50);
    OpenDevice();
    uint8_t byte = 0;
    EXPECT_FALSE(m_device->PopByte(kIn, byte, 0));
    const uint32_t start = CClock::Instance().TickCount();
    EXPECT_FALSE(m_device->PopByte(kIn, byte, 500));
    EXPECT_GE(CClock::Instance().TickCount() - start, 500u);
    m_sim->InjectInputReport(Report(3, {'h', 'i'}));
    ASSERT_TRUE(m_device->PopByte(kIn, byte, 5000));
    EXPECT_EQ(byte, 'h');
    ASSERT_TRUE(m_device->PopByte(kIn, byte, 0));
    EXPECT_EQ(byte, 'i');
    EXPECT_FALSE(m_device->PopByte(kIn, byte, 0));
    EXPECT_FALSE(m_device->PopByte(4, byte, 0));
}

TEST_F(UsbHidDeviceTest, ControlReportsTravelWithTheirIds) {
    OpenDevice();
    const uint8_t request[8] = {0x80, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(m_device->SendControl(request), kHidSuccess);
    uint8_t answer[8] = {};
    EXPECT_EQ(m_device->GetControl(answer), kHidSuccess);
    EXPECT_EQ(answer[0], 0x80);
    EXPECT_EQ(answer[1], 0);
    EXPECT_EQ(answer[2], 0); // state
    EXPECT_EQ(answer[3], 0); // no restart needed

    m_device->Close();
    EXPECT_NE(m_device->SendControl(request), kHidSuccess);
    EXPECT_NE(m_device->GetControl(answer), kHidSuccess);
}

TEST_F(UsbHidDeviceTest, OpeningAgainKeepsTheOneHandle) {
    OpenDevice();
    EXPECT_EQ(m_device->Open(), kHidSuccess);
    EXPECT_EQ(m_hub->OpenHandles(), 1u);
    EXPECT_EQ(m_device->Close(), kHidSuccess);
    EXPECT_EQ(m_hub->OpenHandles(), 0u);
    EXPECT_NE(m_device->Close(), kHidSuccess) << "closing a closed device is a failure";
}

TEST_F(UsbHidDeviceTest, OpenFailsWithoutADeviceOrWhenAnotherProgramHoldsIt) {
    CUsbHidDevice device;
    m_sim->SetRefuseOpen(true);
    EXPECT_NE(device.Open(), kHidSuccess);
    EXPECT_FALSE(device.IsReaderRunning());
    m_hub->Unplug(m_sim);
    m_sim->SetRefuseOpen(false);
    EXPECT_EQ(device.CountDevices(), 0u);
    EXPECT_NE(device.Open(), kHidSuccess);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(m_hub->OpenHandles(), 0u);
}

TEST_F(UsbHidDeviceTest, CloseLeavesNoThreadAndNoHandle) {
    const unsigned threadsBefore = ThreadCount();
    OpenDevice();
    EXPECT_TRUE(m_device->IsReaderRunning());
    EXPECT_EQ(ThreadCount(), threadsBefore + 1);
    EXPECT_EQ(m_device->Close(), kHidSuccess);
    EXPECT_FALSE(m_device->IsReaderRunning());
    EXPECT_LE(ThreadCountSettled(threadsBefore), threadsBefore);
    EXPECT_EQ(m_hub->OpenHandles(), 0u);

    // An object that ends while open closes itself.
    OpenDevice();
    m_device.reset();
    EXPECT_LE(ThreadCountSettled(threadsBefore), threadsBefore);
    EXPECT_EQ(m_hub->OpenHandles(), 0u);
}

TEST_F(UsbHidDeviceTest, AReaderOnAnUnpluggedDeviceWaitsInsteadOfSpinning) {
    OpenDevice();
    m_hub->Unplug(m_sim);
    ASSERT_TRUE(WaitUntil([&] { return m_device->IsDeviceGone(); }));
    const uint64_t calls = m_hub->InputReadCalls();
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // a spinning reader would call meanwhile
    EXPECT_EQ(m_hub->InputReadCalls(), calls);
    EXPECT_EQ(m_device->Close(), kHidSuccess);
    EXPECT_FALSE(m_device->IsReaderRunning());
    EXPECT_EQ(m_hub->OpenHandles(), 0u);
}

} // namespace

namespace {

// The real backend runs here too, with no controller attached: nothing found, nothing opened, and its
// watch thread ends with the watch.
TEST(HidRawLibraryTest, FindsNoControllerAndOpensNothing) {
    SelectHidLibrary(nullptr);
    std::shared_ptr<IHidLibrary> library = CreateHidRawLibrary();
    EXPECT_EQ(library->GetNumHidDevices(kDxuVendorId, kDxuProductId), 0u);
    HidHandle handle = reinterpret_cast<HidHandle>(1);
    EXPECT_NE(library->Open(handle, 0, kDxuVendorId, kDxuProductId), kHidSuccess);
    EXPECT_EQ(handle, nullptr);
    EXPECT_NE(library->Close(nullptr), kHidSuccess);

    CUsbHidDevice device;
    EXPECT_NE(device.Open(), kHidSuccess);
    EXPECT_FALSE(device.IsReaderRunning());

    const unsigned threadsBefore = ThreadCount();
    library->SetDeviceChangeHandler([](bool) {});
    library->SetDeviceChangeHandler(nullptr);
    EXPECT_LE(ThreadCountSettled(threadsBefore), threadsBefore);
}

TEST_F(UsbHidDeviceTest, ADeviceNamedBySerialNumberIsTheOnlyOneItsViewShows) {
    SUsbSimOptions options;
    options.strSerial = "DX-2";
    const std::shared_ptr<CUsbSimDevice> second = m_hub->AddDevice(options);
    options.strSerial = "DX-3";
    const std::shared_ptr<CUsbSimDevice> third = m_hub->AddDevice(options);
    ASSERT_EQ(m_hub->GetNumHidDevices(kDxuVendorId, kDxuProductId), 3u);

    SelectHidLibrary(CreateChosenHidLibrary(m_hub, {"", "DX-2"}));
    ASSERT_EQ(HidLibrary().GetNumHidDevices(kDxuVendorId, kDxuProductId), 1u);
    OpenDevice();
    const uint8_t data[] = {7, 8, 9};
    m_device->SendReport(4, data, sizeof data);
    EXPECT_EQ(second->OutputReports().size(), 1u);
    EXPECT_TRUE(m_sim->OutputReports().empty() && third->OutputReports().empty());
    // Unplugged, it is gone from the view while the others stay; plugged again, it is back.
    m_device.reset();
    m_hub->Unplug(second);
    EXPECT_EQ(HidLibrary().GetNumHidDevices(kDxuVendorId, kDxuProductId), 0u);
    m_hub->Plug(second);
    EXPECT_EQ(HidLibrary().DeviceNames(kDxuVendorId, kDxuProductId).size(), 1u);

    SelectHidLibrary(CreateChosenHidLibrary(m_hub, {"", "DX-9"}));
    EXPECT_EQ(HidLibrary().GetNumHidDevices(kDxuVendorId, kDxuProductId), 0u);
    EXPECT_EQ(CUsbHidDevice().Open(), kHidDeviceNotFound);
    const std::vector<std::string> why = HidLibrary().ExplainNoDevice();
    EXPECT_EQ(why,
              (std::vector<std::string>{
                  "No controller with the serial number DX-9 is attached: check its USB cable and that it is "
                  "powered.",
                  "Controllers attached:", "  USB (no serial number)", "  USB serial number DX-2",
                  "  USB serial number DX-3"}));
}

// Another device leaving (a restart elsewhere in a fleet) is not passed on: it would mark the open device
// as possibly gone. A bus of its own, so that no notification from before comes in between; they come in
// order from the bus's thread.
TEST_F(UsbHidDeviceTest, ANamedDeviceHearsOfItsOwnRemovalOnly) {
    auto hub = std::make_shared<CUsbSimHub>();
    const std::shared_ptr<IHidLibrary> view = CreateChosenHidLibrary(hub, {"", "DX-2"});
    std::atomic<int> arrivals{0}, removals{0};
    view->SetDeviceChangeHandler([&](bool arrived) { ++(arrived ? arrivals : removals); });
    SUsbSimOptions options;
    options.strSerial = "DX-2";
    const std::shared_ptr<CUsbSimDevice> chosen = hub->AddDevice(options);
    options.strSerial = "DX-3";
    const std::shared_ptr<CUsbSimDevice> other = hub->AddDevice(options);
    ASSERT_TRUE(WaitUntil([&] { return arrivals == 2; }));
    hub->Unplug(other);
    hub->Plug(other);
    ASSERT_TRUE(WaitUntil([&] { return arrivals == 3; }));
    EXPECT_EQ(removals, 0);
    hub->Unplug(chosen);
    EXPECT_TRUE(WaitUntil([&] { return removals == 1; }));
    view->SetDeviceChangeHandler(nullptr);
}

} // namespace

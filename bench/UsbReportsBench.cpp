// How full the sender fills USB output reports: a text file goes by ZModem over the simulated USB
// controller (the engine's link, the load command, rz behind the simulator), and the output reports the
// transfer took are counted per KiB of file. A report carries at most 58 bytes, so 1024 / 58 = 17.66
// reports per KiB is the floor; the ratio to it is printed.
#include "BenchSupport.h"

#include "engine/app/SilentUserInterface.h"
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "engine/link/UsbHidDevice.h"
#include "engine/zmodem/ZModemDlg.h"
#include "platform/HidLibrary.h"
#include "sim/UsbSimController.h"
#include "sim/UsbSimHub.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace bench;

} // namespace

int main(int argc, char** argv) {
    const size_t size = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1 << 20;
    std::string folder = (std::filesystem::temp_directory_path() / "dravik-usb-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr)
        return 1;
    // A page file as the controller gets them: text, so hardly a byte needs escaping.
    const std::string path = folder + "/config.dat";
    {
        std::string text;
        for (int line = 0; text.size() < size; ++line)
            text += "<tr><td>point " + std::to_string(line) + "</td><td class=\"value\">" +
                    std::to_string(line * 37 % 1000) + " kPa</td></tr>\n";
        text.resize(size);
        std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    SimOptions options;
    options.bReceiveFiles = true;
    options.nDoneDelayMs = 10;
    auto hub = std::make_shared<CUsbSimHub>();
    const std::shared_ptr<CUsbSimDevice> simDevice = hub->AddDevice();
    auto controller = std::make_unique<CUsbSimController>(simDevice, options);
    SelectHidLibrary(hub);
    bool ok = false;
    size_t reports = 0;
    {
        CSilentUserInterface ui(
            IDOK, [](const std::string& text) { std::fprintf(stderr, "message: %s\n", text.c_str()); });
        CLinkContext context{&ui};
        context.m_nLinkKind = kLinkUsb;
        context.m_bUsbPresent = true;
        CUsbHidDevice device;
        if (device.Open() == kHidSuccess) {
            CSerialHandler link(context, &device);
            link.SetReadTimeout(kDefaultReadTimeout);
            if (link.SendCommand(6) && link.WaitForByte('*')) { // the load command, then the receiver's '*'
                simDevice->ClearOutputReports();
                const ZModemOptions zmodem{1, 1, 0};
                ok = ZModemSendFile(ui, path, &zmodem, link) == ZModemOk;
                reports = simDevice->OutputReports().size();
                ok = link.WaitForByte('*') && ok;
            }
            device.Close();
        }
        ok = ok && std::filesystem::file_size(std::filesystem::path(controller->ReceiveDir()) /
                                              "config.dat") == size;
    }
    controller.reset();
    SelectHidLibrary(nullptr);
    std::filesystem::remove_all(folder);

    const double perKiB = static_cast<double>(reports) * 1024.0 / static_cast<double>(size);
    const double floor = 1024.0 / CUsbHidDevice::kMaxReportData;
    Row(Format("ZModem over the simulated USB link, %zu KiB of text: output reports per KiB", size / 1024),
        ok ? Format("%.2f", perKiB) : std::string("n/a (transfer failed)"),
        Format("58-byte floor %.2f", floor), ok ? Format("%.3f", perKiB / floor) : "n/a", "≤ 17.9",
        ok && perKiB <= 17.9);
    return ok ? 0 : 1;
}

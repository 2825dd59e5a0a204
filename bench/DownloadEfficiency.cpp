// How close the image download comes to the line's stop-and-wait limit: the simulated controller takes
// every byte only after its wire time at the line speed the program set, and the download's effective
// data rate during the transfer is set against 3840 bytes/s x 252/256 (a 252-byte frame costs 255 bytes
// on the wire plus its acknowledge) at 38400 baud. Five downloads on the machine as it is, and five more
// with one busy loop per core beside them; the median rates are printed.
#include "BenchSupport.h"

#include "cli/ConsoleUserInterface.h"
#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "sim/Simulator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

// Notes when the transfer's figures start and when the transfer has ended.
class CTimingView : public IDownloadView {
public:
    void SetField(EDownloadField field, const std::string& text) override {
        std::lock_guard<std::mutex> guard(m_lock);
        if (field == EDownloadField::Status && text == "Downloading file")
            m_start = SteadyClock::now();
        if (field == EDownloadField::Status && text.rfind("Download complete", 0) == 0)
            m_end = SteadyClock::now();
    }
    void SetProgressRange(uint32_t) override {}
    void SetProgressPos(uint32_t) override {}
    void SetProgressStep(uint32_t) override {}
    void StepProgress() override {}
    void Close() override {}

    double Seconds() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return std::chrono::duration<double>(m_end - m_start).count();
    }

private:
    mutable std::mutex m_lock;
    SteadyClock::time_point m_start;
    SteadyClock::time_point m_end;
};

class CBenchUserInterface : public CConsoleUserInterface {
public:
    CBenchUserInterface(std::FILE* sink, CTimingView* view)
        : CConsoleUserInterface({true, true, {}}, sink), m_pView(view) {}
    std::unique_ptr<IDownloadView> CreateDownloadView(std::function<void()>) override {
        struct CForward : IDownloadView {
            explicit CForward(CTimingView* view) : m_pView(view) {}
            void SetField(EDownloadField id, const std::string& text) override {
                m_pView->SetField(id, text);
            }
            void SetProgressRange(uint32_t) override {}
            void SetProgressPos(uint32_t) override {}
            void SetProgressStep(uint32_t) override {}
            void StepProgress() override {}
            void Close() override {}
            CTimingView* m_pView;
        };
        return std::make_unique<CForward>(m_pView);
    }

private:
    CTimingView* m_pView;
};

// 3840 bytes/s at 38400 baud, of which a 252-byte frame's wire time with its acknowledge carries 252/256.
constexpr double kStopAndWaitLimit = 3840.0 * 252.0 / 256.0;

// One download of dataBytes; its data rate in bytes/s, or a negative value on failure.
double DownloadRate(size_t dataBytes) {
    const std::string image = "/tmp/dravik-bench-" + std::to_string(::getpid()) + ".img";
    {
        std::vector<uint8_t> bytes = {0x7E, 'M', 'R', ':', 0x00, 0x1E, 0x00, 0x00, ':'};
        std::mt19937 random(7);
        for (size_t i = 0; i < dataBytes; ++i)
            bytes.push_back(static_cast<uint8_t>(random() % 0x7E)); // no marker byte in the data
        std::ofstream(image, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    SimOptions options;
    options.strProtocol = "PL03";
    options.nDoneDelayMs = 10;
    options.bPace = true;
    CSimulator simulator;
    std::string error;
    if (!simulator.Start(options, error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return -1;
    }
    std::FILE* sink = std::fopen("/dev/null", "w");
    CTimingView view;
    CBenchUserInterface ui(sink, &view);
    int result = 0;
    {
        CDravikApp app(&ui);
        app.m_strPort = simulator.SlavePath();
        app.m_nConnectState = ConnectBootstrap;
        app.m_strPathName = image;
        app.StartImageDownload();
        app.WaitForDownload();
        result = app.m_nLastLoadResult;
    }
    std::fclose(sink);
    std::remove(image.c_str());
    if (result < 1 || result > 3) {
        std::fprintf(stderr, "download failed with result %d\n", result);
        return -1;
    }
    // The first block goes out before the figures start: it is not timed.
    const double timedBytes = static_cast<double>(dataBytes > 252 ? dataBytes - 252 : dataBytes);
    return timedBytes / view.Seconds();
}

// Downloads kPairs times and prints the row of their median rate against the limit.
bool DownloadRow(size_t dataBytes, const std::string& load) {
    std::vector<double> rates;
    for (int run = 0; run < bench::kPairs; ++run) {
        const double rate = DownloadRate(dataBytes);
        if (rate > 0)
            rates.push_back(rate);
    }
    const bool ok = rates.size() >= 3;
    const double median = bench::Median(rates);
    const double ratio = median / kStopAndWaitLimit;
    bench::Row("Image download with a line-paced controller at 38400 baud, " + load +
                   ": rate / stop-and-wait limit",
               ok ? bench::Format("%.0f bytes/s (lowest %.0f)", median,
                                  *std::min_element(rates.begin(), rates.end()))
                  : std::string("n/a (downloads failed)"),
               bench::Format("limit %.0f bytes/s", kStopAndWaitLimit),
               ok ? bench::Format("%.3f", ratio) : "n/a", "≥ 0.98", ok && ratio >= 0.98);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const size_t dataBytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16000;
    bool ok = DownloadRow(dataBytes, "machine as it is");
    {
        bench::CBusyLoops loops;
        ok = DownloadRow(dataBytes, bench::Format("one busy loop per core beside it (%u)",
                                                  std::max(1u, std::thread::hardware_concurrency()))) &&
             ok;
    }
    return ok ? 0 : 1;
}

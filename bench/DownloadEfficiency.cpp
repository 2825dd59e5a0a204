// How close the image download comes to the line's stop-and-wait limit: the simulated controller takes
// every byte only after its wire time at the line speed the program set, and the download's effective
// data rate during the transfer is set against 3840 bytes/s x 252/256 (a 252-byte frame costs 255 bytes
// on the wire plus its acknowledge) at 38400 baud. Five downloads; the median ratio is printed.
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

// One download of dataBytes; its rate against the stop-and-wait limit, or a negative value on failure.
double DownloadRatio(size_t dataBytes) {
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
    const double rate = timedBytes / view.Seconds();
    return rate / (3840.0 * 252.0 / 256.0);
}

} // namespace

int main(int argc, char** argv) {
    const size_t dataBytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 30000;
    std::vector<double> ratios;
    for (int run = 0; run < bench::kPairs; ++run) {
        const double ratio = DownloadRatio(dataBytes);
        if (ratio > 0)
            ratios.push_back(ratio);
    }
    const bool ok = ratios.size() >= 3;
    const double median = bench::Median(ratios);
    bench::Row("Image download with a line-paced controller at 38400 baud: rate / stop-and-wait limit",
               ok ? bench::Format("%.3f (median of %zu, lowest %.3f)", median, ratios.size(),
                                  *std::min_element(ratios.begin(), ratios.end()))
                  : std::string("n/a (downloads failed)"),
               "≥ 0.98", ok && median >= 0.98);
    return ok ? 0 : 1;
}

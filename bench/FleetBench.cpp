// What a fleet upgrade of eight controllers costs against the upgrade of one. The simulated controllers
// run on the real clock and take every byte only after its wire time at the speed the program set, as
// real 38400-baud lines do; dravik-cli runs its fixed waits (the 2 s after the speed change, the 5 s flash
// wait) ten times fast so that the lines, not the waits, fill the time, while its 20 s acknowledge
// time-out stays far above a frame's 66 ms. One pair: one controller upgraded alone, eight by one fleet
// run; pairs interleaved, the median ratio printed, with the CPU time each controller cost (the fleet's
// children and the simulator's threads share the machine's cores).
#include "BenchSupport.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFleet = 8;
constexpr size_t kImageBytes = 32768; // 8.5 s on the line
constexpr const char* kProgramClockSpeed = "10";

// dxu-sim --count count --pace, until the object goes; its CPU time is added to the run's.
class CPacedControllers {
public:
    explicit CPacedControllers(int count) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        m_sim = bench::StartChild(
            {DXU_SIM_PATH, "--count", std::to_string(count), "--pace", "--done-delay", "0"}, -1, fds[1]);
        ::close(fds[1]);
        std::string text;
        while (m_sim.IsRunning() && std::count(text.begin(), text.end(), '\n') < count) {
            pollfd pfd{fds[0], POLLIN, 0};
            char buffer[512];
            ssize_t got = 0;
            if (::poll(&pfd, 1, 10000) <= 0 || (got = ::read(fds[0], buffer, sizeof buffer)) <= 0)
                break;
            text.append(buffer, static_cast<size_t>(got));
        }
        ::close(fds[0]);
        for (size_t start = 0; start < text.size() && text.compare(start, 4, "PTY ") == 0;
             start = text.find('\n', start) + 1)
            m_ports.push_back(text.substr(start + 4, text.find('\n', start) - start - 4));
        if (m_ports.size() != static_cast<size_t>(count))
            m_ports.clear();
    }
    ~CPacedControllers() { Stop(nullptr); }

    const std::vector<std::string>& Ports() const { return m_ports; }

    void Stop(bench::SRun* run) {
        if (!m_sim.IsRunning())
            return;
        m_sim.Signal(SIGTERM);
        bench::SRun sim;
        bench::WaitChild(m_sim, &sim);
        if (run)
            run->dCpuSeconds += sim.dCpuSeconds;
    }

private:
    CChildProcess m_sim;
    std::vector<std::string> m_ports;
};

// One dravik-cli upgrade of count paced controllers: its wall time, and the CPU time of dravik-cli (its
// children included) and of the simulator.
bench::SRun Upgrade(const std::string& image, int count) {
    CPacedControllers controllers(count);
    if (controllers.Ports().empty())
        return {};
    std::vector<std::string> words{DRAVIK_CLI_PATH, "--settings",  "/dev/null",     "--yes",
                                   "--no-restart",  "--no-record", "--clock-speed", kProgramClockSpeed,
                                   "upgrade",       image};
    for (const std::string& port : controllers.Ports())
        words.insert(words.end(), {"--port", port});
    bench::SRun run = bench::TimeProgram(words);
    controllers.Stop(&run);
    return run;
}

} // namespace

int main() {
    char folder[] = "/tmp/dravik-bench-fleet-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string image = std::string(folder) + "/app.img";
    {
        std::string bytes("\x7eMR:\x00\x11\x00\x00:", 9);
        for (size_t i = 0; i < kImageBytes; ++i)
            bytes += static_cast<char>('A' + i % 26);
        std::ofstream(image, std::ios::binary) << bytes;
    }
    const bench::SPairs pairs =
        bench::Interleave([&] { return Upgrade(image, kFleet); }, [&] { return Upgrade(image, 1); });
    std::remove(image.c_str());
    ::rmdir(folder);
    const bool ok = pairs.nFailed == 0 && !pairs.wall.empty();
    const double cpuPerController = bench::Median(pairs.cpu) / kFleet;
    bench::Row("Fleet upgrade of 8 paced controllers (38400 baud, 32 KiB) against one: time",
               bench::Format("8: %.1f s (CPU per controller %.2f of one's)", bench::Median(pairs.ours),
                             cpuPerController),
               bench::Format("1: %.1f s", bench::Median(pairs.peer)),
               bench::Format("%.2f%s", bench::Median(pairs.wall), ok ? "" : "; a run failed"), "≤ 1.5",
               ok && bench::Median(pairs.wall) <= 1.5);
    return ok ? 0 : 1;
}

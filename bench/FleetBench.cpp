// How much a fleet upgrade of eight controllers costs against the upgrade of one: the simulated
// controllers take every byte only after its wire time at the speed the program set (as real 38400-baud
// lines), so the ratio shows what running side by side loses. One pair: a single controller upgraded by
// dravik-cli, then eight by one dravik-cli with eight ports; pairs interleaved, the median ratio printed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kPairs = 5;
constexpr int kFleet = 8;
constexpr size_t kImageBytes = 8000;
constexpr const char* kClockSpeed = "10"; // the fixed waits (baud switch, flash) shrink; the line does not

// A started program, its standard output as a pipe when asked; ended and reaped on destruction.
struct SProgram {
    pid_t pid = -1;
    int out = -1;
    ~SProgram() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (out >= 0)
            ::close(out);
    }
};

bool Start(SProgram& program, std::vector<std::string> args, bool pipeOut) {
    int fds[2] = {-1, -1};
    if (pipeOut && ::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (pipeOut)
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const bool ok = ::posix_spawn(&program.pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (pipeOut) {
        ::close(fds[1]);
        program.out = fds[0];
    }
    if (!ok)
        program.pid = -1;
    return ok;
}

// The simulator's "PTY <path>" lines.
std::vector<std::string> SlavePaths(SProgram& sim, size_t count) {
    std::string text;
    while (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) < count) {
        pollfd pfd{sim.out, POLLIN, 0};
        char buffer[512];
        ssize_t got = 0;
        if (::poll(&pfd, 1, 10000) <= 0 || (got = ::read(sim.out, buffer, sizeof buffer)) <= 0)
            return {};
        text.append(buffer, static_cast<size_t>(got));
    }
    std::vector<std::string> paths;
    for (size_t start = 0; paths.size() < count; start = text.find('\n', start) + 1)
        paths.push_back(text.substr(start + 4, text.find('\n', start) - start - 4));
    return paths;
}

// Seconds one dravik-cli upgrade takes for count paced controllers; negative when it failed.
double UpgradeSeconds(const std::string& cli, const std::string& sim, const std::string& image, int count) {
    SProgram simulator;
    if (!Start(simulator,
               {sim, "--count", std::to_string(count), "--pace", "--done-delay", "0", "--clock-speed",
                kClockSpeed},
               true))
        return -1;
    const std::vector<std::string> ports = SlavePaths(simulator, static_cast<size_t>(count));
    if (ports.size() != static_cast<size_t>(count))
        return -1;
    std::vector<std::string> args{cli,           "--settings",    "/dev/null", "--yes",   "--no-restart",
                                  "--no-record", "--clock-speed", kClockSpeed, "upgrade", image};
    for (const std::string& port : ports)
        args.insert(args.end(), {"--port", port});
    const auto start = std::chrono::steady_clock::now();
    SProgram upgrade;
    if (!Start(upgrade, args, false))
        return -1;
    int status = 0;
    ::waitpid(upgrade.pid, &status, 0);
    upgrade.pid = -1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

} // namespace

int main() {
    const std::string cli = DRAVIK_CLI_PATH;
    const std::string sim = DXU_SIM_PATH;
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
    std::vector<double> ratios;
    for (int pair = 0; pair < kPairs; ++pair) {
        const double one = UpgradeSeconds(cli, sim, image, 1);
        const double fleet = UpgradeSeconds(cli, sim, image, kFleet);
        if (one <= 0 || fleet <= 0) {
            std::fprintf(stderr, "pair %d: an upgrade failed (one %.2f s, fleet %.2f s)\n", pair + 1, one,
                         fleet);
            return 1;
        }
        ratios.push_back(fleet / one);
        std::printf("pair %d: 1 controller %.2f s, %d controllers %.2f s, ratio %.2f\n", pair + 1, one,
                    kFleet, fleet, fleet / one);
    }
    std::sort(ratios.begin(), ratios.end());
    const double median = ratios[ratios.size() / 2];
    std::printf("fleet of %d paced controllers against one: median ratio %.2f (goal: at most 1.5)\n", kFleet,
                median);
    std::remove(image.c_str());
    ::rmdir(folder);
    return 0;
}

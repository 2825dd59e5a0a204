// How fast the terminal window takes in controller output, and what its history costs: lines of about
// 100 bytes with the cursor escapes the view knows are written into a real pseudo-terminal as fast as it
// takes them, while the main window (offscreen) in terminal mode reads them. Printed: the rate until the
// last line is on the screen, the GUI thread's CPU time per MB, the ratio of that rate to a plain reader's
// on the same stream (measured in between), and the memory that 100,000 lines of history take.
#include "BenchSupport.h"

#include "engine/app/DravikApp.h"
#include "engine/link/SerialHandler.h"
#include "engine/terminal/TerminalScreen.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"

#include <QApplication>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace bench;

// Line i of the controller's output: 100 bytes with a bold word and a cursor position on some lines.
std::string OutputLine(int i) {
    char text[160];
    std::snprintf(
        text, sizeof text,
        "%s  %07d 2026-12-08 18:%02d:%02d.%03d \x1b[1mALARM\x1b[0m %04d motor temperature high, axis %d "
        "value %3d.%d C\r\n",
        i % 50 == 0 ? "\x1b[K" : "", i, i / 3600 % 60, i / 60 % 60, i % 1000, i % 97, i % 7, i % 131, i % 10);
    std::string line = text;
    line.insert(line.size() - 2, std::string(line.size() < 100 ? 100 - line.size() : 0, '.'));
    return line;
}

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

void WriteAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

SRun Ours(const std::string& stream, size_t lines) {
    SRun run;
    SPty pty;
    CQtUserInterface ui;
    CDravikApp app(&ui);
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.show();
    int result = -1;
    app.m_nLinkKind = kLinkCom;
    app.m_pTermLink = std::make_unique<CSerialHandler>(app, pty.strSlave, kSettingNormal, result, true);
    if (result != 0)
        return run;
    app.m_pTermLink->SetReadTimeout(10);
    app.m_nTerminalMode = 1;
    app.m_terminal.ShowTerminal();
    frame.RunIdle();
    QApplication::processEvents();

    const auto start = SteadyClock::now();
    const double cpu = ThreadCpuSeconds();
    std::thread writer([&] { WriteAll(pty.nMaster, stream); });
    QTimer tick;
    tick.start(50);
    while (app.m_terminal.LineCount() <= lines && Seconds(start) < 60)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    run.dSeconds = Seconds(start);
    run.dCpuSeconds = ThreadCpuSeconds() - cpu;
    writer.join();
    run.bOk = app.m_terminal.LineCount() == lines + 1;
    if (!run.bOk)
        std::fprintf(stderr, "terminal: %zu of %zu lines after %.1f s\n", app.m_terminal.LineCount(),
                     lines + 1, run.dSeconds);
    app.m_nTerminalMode = 0;
    app.m_pTermLink.reset();
    return run;
}

// The peer: a plain reader that takes the same stream from the same kind of terminal and throws it away.
SRun PlainReader(const std::string& stream) {
    SRun run;
    SPty pty;
    const auto start = SteadyClock::now();
    const double cpu = ThreadCpuSeconds();
    std::thread writer([&] { WriteAll(pty.nMaster, stream); });
    std::vector<char> buffer(65536);
    size_t got = 0;
    while (got < stream.size() && Seconds(start) < 60) {
        const ssize_t n = ::read(pty.nSlave, buffer.data(), buffer.size());
        if (n > 0)
            got += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR)
            break;
    }
    run.dSeconds = Seconds(start);
    run.dCpuSeconds = ThreadCpuSeconds() - cpu;
    writer.join();
    run.bOk = got == stream.size();
    return run;
}

} // namespace

int main(int argc, char** argv) {
    const size_t lines = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 40000;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    // History memory first, on a fresh screen model: 100,000 lines of 100 bytes.
    {
        const long before = ResidentKb();
        CTerminalScreen screen;
        screen.ShowTerminal();
        for (int i = 0; i < 100000; ++i) {
            const std::string line = OutputLine(i);
            for (char c : line)
                screen.PutChar(static_cast<uint8_t>(c));
        }
        const double mib = static_cast<double>(ResidentKb() - before) / 1024.0;
        const double textMib = 100000 * 100 / 1048576.0;
        Row("Terminal history, 100,000 lines of 100 bytes: memory added",
            Format("%.1f MiB (held %.1f MiB)", mib, screen.HeldBytes() / 1048576.0),
            Format("the text %.1f MiB", textMib), Format("%.2f", mib / textMib), "≤ 3 MiB", mib <= 3.0);
    }

    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    std::string stream;
    for (size_t i = 0; i < lines; ++i)
        stream += OutputLine(static_cast<int>(i));
    const double megabytes = static_cast<double>(stream.size()) / 1e6;
    std::vector<double> rates, cpuPerMb, peerRates, ratios;
    for (int pair = 0; pair < kPairs; ++pair) {
        const SRun ours = Ours(stream, lines);
        const SRun peer = PlainReader(stream);
        if (!ours.bOk || !peer.bOk)
            continue;
        rates.push_back(megabytes / ours.dSeconds);
        cpuPerMb.push_back(ours.dCpuSeconds / megabytes);
        peerRates.push_back(megabytes / peer.dSeconds);
        ratios.push_back(peer.dSeconds / ours.dSeconds);
    }
    const bool ok = rates.size() >= 3;
    Row(Format("Terminal view absorbing %.1f MB of controller output (%zu lines): rate, GUI CPU per MB",
               megabytes, lines),
        ok ? Format("%.2f MB/s, %.3f CPU-s/MB", Median(rates), Median(cpuPerMb))
           : std::string("n/a (lines lost)"),
        ok ? Format("plain reader %.1f MB/s", Median(peerRates)) : std::string("n/a"),
        ok ? Format("%.2f", Median(ratios)) : std::string("n/a"), "≥ 2 MB/s at ≤ 0.5 CPU-s/MB",
        ok && Median(rates) >= 2.0 && Median(cpuPerMb) <= 0.5);
    return ok ? 0 : 1;
}

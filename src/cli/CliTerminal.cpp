#include "cli/CliTerminal.h"

#include "cli/CliSignalCancel.h"
#include "cli/ConsoleUserInterface.h"
#include "cli/RawConsole.h"
#include "engine/app/DravikApp.h"
#include "engine/link/SerialHandler.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// While terminal mode runs over USB the receive ring is looked at this often (ms).
constexpr int kUsbLookMs = 20;

// Hands the screen's bytes to standard output for the time it lives.
class CScreenToStdout {
public:
    explicit CScreenToStdout(CDravikApp& app) : m_app(app) {
        m_app.m_terminal.SetByteTap([this](uint8_t byte) { m_pending.push_back(static_cast<char>(byte)); });
    }
    ~CScreenToStdout() {
        m_app.m_terminal.SetByteTap({});
        Flush();
    }
    CScreenToStdout(const CScreenToStdout&) = delete;
    CScreenToStdout& operator=(const CScreenToStdout&) = delete;

    void Flush() {
        if (m_pending.empty())
            return;
        std::fwrite(m_pending.data(), 1, m_pending.size(), stdout);
        std::fflush(stdout);
        m_pending.clear();
    }

private:
    CDravikApp& m_app;
    std::string m_pending;
};

} // namespace

int RunTerminal(CDravikApp& app, CConsoleUserInterface& ui, CCliSignalCancel& signals) {
    CUniqueFd leave(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    const CCliSignalCancel::CActionScope leaveOnSignal(signals, [&leave] {
        const uint64_t one = 1;
        return ::write(leave.Get(), &one, sizeof one) == sizeof one;
    });

    int exitCode = 0;
    {
        CScreenToStdout screen(app);
        app.SetTerminalMode(1);
        ui.RunPosted();
        if (app.m_nTerminalMode == 0)
            return 1;
        ui.WriteLine("Terminal mode: keys go to the controller; Ctrl-] leaves.");
        const CRawConsole raw(STDIN_FILENO);
        bool inputOpen = true;
        for (bool running = true; running;) {
            const bool usb = app.m_bUsbPresent && app.m_nLinkKind == kLinkUsb;
            const int linkFd = !usb && app.m_pTermLink ? app.m_pTermLink->Descriptor() : -1;
            pollfd fds[3] = {
                {leave.Get(), POLLIN, 0}, {inputOpen ? STDIN_FILENO : -1, POLLIN, 0}, {linkFd, POLLIN, 0}};
            if (::poll(fds, 3, usb ? kUsbLookMs : -1) < 0 && errno != EINTR) {
                exitCode = 1;
                break;
            }
            if (fds[0].revents & POLLIN)
                break;
            if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                uint8_t keys[256];
                const ssize_t got = ::read(STDIN_FILENO, keys, sizeof keys);
                if (got <= 0) {
                    inputOpen = false;
                    running = false; // the end of the input ends the session, as Ctrl-] does
                }
                for (ssize_t i = 0; i < got; ++i) {
                    if (keys[i] == kTerminalLeaveKey) {
                        app.SendTerminalBytes(keys, static_cast<size_t>(i));
                        running = false;
                        break;
                    }
                    if (i + 1 == got)
                        app.SendTerminalBytes(keys, static_cast<size_t>(got));
                }
            }
            app.OnIdle(1); // the terminal pump: screen, capture
            ui.RunPosted();
            screen.Flush();
            if (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                ui.WriteLine(
                    "The controller's port closed; terminal mode ends. Check the cable or the port and "
                    "start the terminal again.");
                exitCode = 1;
                break;
            }
        }
    }
    app.SetTerminalMode(0);
    ui.RunPosted();
    return exitCode;
}

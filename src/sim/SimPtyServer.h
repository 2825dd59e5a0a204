// Serves the simulated controller on a pseudo-terminal: reads what the program writes together with the
// line speed it set, feeds the controller, writes its answers, keeps its timers, and answers the control
// socket. Serve() runs the loop on the calling thread; the Request calls may come from any thread.
#pragma once

#include "platform/UniqueFd.h"
#include "sim/SimControlSocket.h"
#include "sim/SimController.h"
#include "sim/SimOptions.h"
#include "sim/SimPty.h"
#include "sim/SimTrace.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CSimPtyServer {
public:
    CSimPtyServer() = default;
    CSimPtyServer(const CSimPtyServer&) = delete;
    CSimPtyServer& operator=(const CSimPtyServer&) = delete;

    // Creates the pseudo-terminal, the trace and the control socket. False with a message on failure.
    bool Open(const SimOptions& options, std::string& error);
    const std::string& SlavePath() const { return m_pty.SlavePath(); }

    // Runs until RequestStop(), a "quit" control line, or stopFd (if not -1) becoming readable.
    void Serve(int stopFd);

    void RequestStop();
    void RequestReset();

    SimCounters Counters() const;
    std::vector<SimFrame> Frames() const;

private:
    void Wake();
    void WritePending();
    std::string HandleControlLine(const std::string& line);

    CSimPty m_pty;
    CSimTrace m_trace;
    CSimControlSocket m_control;
    std::unique_ptr<CSimController> m_pController;
    CUniqueFd m_wake; // eventfd: a request is waiting
    std::atomic<bool> m_bStop{false};
    std::atomic<unsigned> m_nResetRequests{0};
    std::vector<uint8_t> m_pending; // answers the slave's input queue has not taken yet
};

// One line about the counters, as the control socket's "counters" reply gives it:
// "commands=3 probes=2 frames=5 acked=4 refused=1 resets=1 esc=1 bootstrap=1 speeds=19200,38400".
std::string FormatSimCounters(const SimCounters& counters);

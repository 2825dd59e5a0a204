// Serves the simulated controller on a pseudo-terminal: reads what the program writes together with the
// line speed it set, feeds the controller, writes its answers, keeps its timers, and answers the control
// socket. With pacing, received bytes reach the controller only after their time on the line. At the end
// of Serve() the flash is dumped when a dump file was named. Serve() runs the loop on the calling thread;
// the Request calls and the accessors may come from any thread.
#pragma once

#include "platform/UniqueFd.h"
#include "sim/SimControlSocket.h"
#include "sim/SimController.h"
#include "sim/SimLinePacer.h"
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
    SimFlashRuns FlashRuns() const;
    // Where the files received by ZModem are stored (fixed once Open() succeeded).
    std::string ReceiveDir() const { return m_pController ? m_pController->ReceiveDir() : std::string(); }
    // Writes the flash as S-records to path; false with a message.
    bool DumpFlash(const std::string& path, std::string& error) const;
    // With pacing: the wire time of every received byte added up, and their count.
    std::chrono::nanoseconds PacedWireTime() const { return std::chrono::nanoseconds(m_nPacedWireNs.load()); }
    uint64_t PacedBytes() const { return m_nPacedBytes.load(); }

private:
    void Wake();
    // Gives the controller the paced bytes that are due by now.
    void FeedDue();
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
    bool m_bPace = false;
    CSimLinePacer m_pacer;
    std::atomic<int64_t> m_nPacedWireNs{0};
    std::atomic<uint64_t> m_nPacedBytes{0};
    std::string m_strFlashDumpPath;
};

// The flash counters, as the control socket's "flash" reply gives them:
// "loads=2 closed=2 erases=3 bytes=4096 faults=0 unaddressed=0".
std::string FormatSimFlashCounters(const SimCounters& counters);

// One line about the counters, as the control socket's "counters" reply gives it:
// "commands=3 probes=2 frames=5 acked=4 refused=1 resets=1 esc=1 bootstrap=1 speeds=19200,38400".
std::string FormatSimCounters(const SimCounters& counters);

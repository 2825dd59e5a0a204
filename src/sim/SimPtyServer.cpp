#include "sim/SimPtyServer.h"

#include "platform/Clock.h"
#include "sim/SimFlashDump.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>

namespace {

// Longest single wait, so that a change of the clock's speed is noticed soon.
constexpr int kMaxWaitMs = 250;
// Pause after a failed read of the master, instead of spinning on it.
constexpr int kFailurePauseMs = 50;
// A paced line takes no more ahead of the wire than a UART's receive buffer holds: a sender that
// streams (ZModem) then waits on its writes as it would on a real port, instead of finishing at once.
constexpr size_t kPacedBufferBytes = 4096;

} // namespace

std::string FormatSimCounters(const SimCounters& counters) {
    std::string line =
        "commands=" + std::to_string(counters.nCommands) + " probes=" + std::to_string(counters.nProbes) +
        " frames=" + std::to_string(counters.nFrames) + " acked=" + std::to_string(counters.nFramesAcked) +
        " refused=" + std::to_string(counters.nFramesRefused) +
        " resets=" + std::to_string(counters.nResets) + " esc=" + std::to_string(counters.nEscHeld) +
        " bootstrap=" + (counters.bBootstrap ? "1" : "0") + " speeds=";
    for (size_t i = 0; i < counters.speedsSeen.size(); ++i) {
        if (i > 0)
            line += ',';
        line += std::to_string(counters.speedsSeen[i]);
    }
    return line;
}

std::string FormatSimFlashCounters(const SimCounters& counters) {
    return "loads=" + std::to_string(counters.nLoads) + " closed=" + std::to_string(counters.nLoadsClosed) +
           " erases=" + std::to_string(counters.nErases) + " bytes=" + std::to_string(counters.nFlashBytes) +
           " faults=" + std::to_string(counters.nFlashFaults) +
           " unaddressed=" + std::to_string(counters.nUnaddressedBytes);
}

bool CSimPtyServer::Open(const SimOptions& options, std::string& error) {
    m_bPace = options.bPace;
    m_strFlashDumpPath = options.strFlashDumpPath;
    m_wake.Reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!m_wake.IsValid()) {
        error = std::string("cannot create an eventfd: ") + std::strerror(errno);
        return false;
    }
    if (!m_pty.Open(error))
        return false;
    if (!options.strTracePath.empty() && !m_trace.Open(options.strTracePath)) {
        error = "cannot write the trace file " + options.strTracePath + ": " + std::strerror(errno);
        return false;
    }
    if (!options.strControlPath.empty() && !m_control.Open(options.strControlPath, error))
        return false;
    m_pController = std::make_unique<CSimController>(options, m_trace.IsOpen() ? &m_trace : nullptr,
                                                     CClock::Instance().TickCount());
    if (options.bReceiveFiles && m_pController->ReceiveDir().empty()) {
        error = "cannot make a folder for received files";
        return false;
    }
    return true;
}

void CSimPtyServer::Wake() {
    const uint64_t one = 1;
    (void)::write(m_wake.Get(), &one, sizeof(one));
}

void CSimPtyServer::RequestStop() {
    m_bStop = true;
    Wake();
}

void CSimPtyServer::RequestReset() {
    ++m_nResetRequests;
    Wake();
}

SimCounters CSimPtyServer::Counters() const {
    return m_pController ? m_pController->Counters() : SimCounters{};
}

std::vector<SimFrame> CSimPtyServer::Frames() const {
    return m_pController ? m_pController->Frames() : std::vector<SimFrame>{};
}

SimFlashRuns CSimPtyServer::FlashRuns() const {
    return m_pController ? m_pController->FlashRuns() : SimFlashRuns{};
}

bool CSimPtyServer::DumpFlash(const std::string& path, std::string& error) const {
    return WriteSimFlashDump(path, FlashRuns(), error);
}

std::string CSimPtyServer::HandleControlLine(const std::string& line) {
    if (line == "reset") {
        m_pController->Reset(CClock::Instance().TickCount());
        return "ok";
    }
    if (line == "quit") {
        m_bStop = true;
        return "ok";
    }
    if (line == "counters")
        return FormatSimCounters(m_pController->Counters());
    if (line == "flash")
        return FormatSimFlashCounters(m_pController->Counters());
    if (line == "dump" || line.rfind("dump ", 0) == 0) {
        const std::string path = line.size() > 5 ? line.substr(5) : m_strFlashDumpPath;
        if (path.empty())
            return "error no dump file (--flash-dump or \"dump PATH\")";
        std::string error;
        if (!DumpFlash(path, error))
            return "error " + error;
        return "ok " + std::to_string(m_pController->Counters().nFlashBytes);
    }
    return "error unknown command: " + line;
}

void CSimPtyServer::WritePending() {
    std::vector<uint8_t> output = m_pController->TakeOutput();
    m_pending.insert(m_pending.end(), output.begin(), output.end());
    if (m_pending.empty())
        return;
    const long put = m_pty.Write(m_pending.data(), m_pending.size());
    if (put > 0)
        m_pending.erase(m_pending.begin(), m_pending.begin() + put);
}

void CSimPtyServer::FeedDue() {
    std::vector<uint8_t> bytes;
    unsigned speed = 0;
    while (m_pacer.TakeDue(CSimLinePacer::Clock::now(), bytes, speed))
        m_pController->Receive(bytes.data(), bytes.size(), speed, CClock::Instance().TickCount());
}

void CSimPtyServer::Serve(int stopFd) {
    if (!m_pController)
        return;
    CClock& clock = CClock::Instance();
    bool bMasterFailed = false;
    std::vector<pollfd> fds;
    while (!m_bStop) {
        if (m_bPace)
            FeedDue();
        m_pController->Tick(clock.TickCount());
        WritePending();

        std::chrono::nanoseconds timeout = std::chrono::milliseconds(kMaxWaitMs);
        const int64_t untilMs = m_pController->MsUntilNextAction(clock.TickCount());
        if (untilMs >= 0)
            timeout = std::min(timeout, clock.RealDuration(static_cast<uint64_t>(untilMs)));
        if (const auto due = m_pacer.NextDue())
            timeout =
                std::min(timeout, std::max(std::chrono::nanoseconds(0),
                                           std::chrono::nanoseconds(*due - CSimLinePacer::Clock::now())));
        if (bMasterFailed)
            timeout = std::chrono::milliseconds(kFailurePauseMs);
        const timespec wait{static_cast<time_t>(timeout.count() / 1000000000),
                            static_cast<long>(timeout.count() % 1000000000)};

        fds.clear();
        // A failed master is left out for one round: poll would report it at once, again and again.
        const bool bTakeInput = !m_bPace || m_pacer.QueuedBytes() < kPacedBufferBytes;
        const short masterEvents =
            static_cast<short>((bTakeInput ? POLLIN : 0) | (m_pending.empty() ? 0 : POLLOUT));
        fds.push_back(pollfd{bMasterFailed ? -1 : m_pty.MasterFd(), masterEvents, 0});
        fds.push_back(pollfd{m_wake.Get(), POLLIN, 0});
        fds.push_back(pollfd{stopFd, POLLIN, 0});
        // rz's output during a transfer: Tick() at the top of the loop passes it on.
        fds.push_back(pollfd{m_pController->BridgeFd(),
                             static_cast<short>(POLLIN | (m_pController->BridgeWantsWrite() ? POLLOUT : 0)),
                             0});
        const size_t controlFirst = fds.size();
        m_control.AppendPollFds(fds);
        bMasterFailed = false;

        if (::ppoll(fds.data(), fds.size(), &wait, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (stopFd >= 0 && fds[2].revents != 0)
            break;
        if (fds[1].revents != 0) {
            uint64_t count = 0;
            (void)::read(m_wake.Get(), &count, sizeof(count));
        }
        for (unsigned resets = m_nResetRequests.exchange(0); resets > 0; --resets)
            m_pController->Reset(clock.TickCount());

        if (bTakeInput && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            uint8_t buffer[kPacedBufferBytes];
            for (;;) {
                const size_t room =
                    m_bPace ? kPacedBufferBytes - std::min(kPacedBufferBytes, m_pacer.QueuedBytes())
                            : sizeof(buffer);
                if (room == 0)
                    break;
                const long got = m_pty.Read(buffer, room);
                if (got < 0) {
                    // EIO: no slave open; cannot happen while our own slave descriptor is open.
                    bMasterFailed = true;
                    break;
                }
                if (got == 0)
                    break;
                // The speed the program has set now is the speed these bytes were sent at.
                if (m_bPace) {
                    m_pacer.Arrive(buffer, static_cast<size_t>(got), m_pty.LineSpeed(),
                                   CSimLinePacer::Clock::now());
                    m_nPacedWireNs = m_pacer.TotalWireTime().count();
                    m_nPacedBytes = m_pacer.PacedBytes();
                } else {
                    m_pController->Receive(buffer, static_cast<size_t>(got), m_pty.LineSpeed(),
                                           clock.TickCount());
                }
            }
        }
        m_control.Service(fds, controlFirst,
                          [this](const std::string& line) { return HandleControlLine(line); });
        if (m_pController->HasHungUp()) {
            m_pty.HangUp();
            break;
        }
    }
    if (m_pty.MasterFd() >= 0)
        WritePending();
    if (!m_strFlashDumpPath.empty()) {
        std::string error;
        if (!DumpFlash(m_strFlashDumpPath, error))
            std::fprintf(stderr, "dxu-sim: %s\n", error.c_str());
    }
}

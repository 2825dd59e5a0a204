// The simulated controller in-process: serves a pseudo-terminal on a thread of its own from Start() until
// Stop() or destruction. Tests and the desktop program's demo mode use it.
#pragma once

#include "sim/SimOptions.h"
#include "sim/SimPtyServer.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CSimulator {
public:
    CSimulator() = default;
    ~CSimulator();
    CSimulator(const CSimulator&) = delete;
    CSimulator& operator=(const CSimulator&) = delete;

    // False with a message when the pseudo-terminal (or trace, or control socket) cannot be set up.
    // The options' clock speed is ignored: the in-process simulator runs on the program's clock.
    bool Start(const SimOptions& options, std::string& error);
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

    // The device path the program opens as its COM port.
    const std::string& SlavePath() const;
    // A reset now (BEL follows).
    void Reset();

    SimCounters Counters() const;
    std::vector<SimFrame> Frames() const;
    // The programmed flash (start address -> contiguous bytes), a copy.
    SimFlashRuns FlashRuns() const;
    // The folder the files received by ZModem are stored in (--receive-dir, or a temporary one).
    std::string ReceiveDir() const { return m_pServer ? m_pServer->ReceiveDir() : std::string(); }
    // Writes the flash as S-records; false with a message.
    bool DumpFlash(const std::string& path, std::string& error) const;
    // With SimOptions::bPace: the wire time the received bytes were held back for, added up.
    std::chrono::nanoseconds PacedWireTime() const;
    uint64_t PacedBytes() const;

private:
    std::unique_ptr<CSimPtyServer> m_pServer;
    std::thread m_thread;
};

#include "sim/Simulator.h"

CSimulator::~CSimulator() {
    Stop();
}

bool CSimulator::Start(const SimOptions& options, std::string& error) {
    Stop();
    auto server = std::make_unique<CSimPtyServer>();
    if (!server->Open(options, error))
        return false;
    m_pServer = std::move(server);
    m_thread = std::thread([server = m_pServer.get()] { server->Serve(-1); });
    return true;
}

void CSimulator::Stop() {
    if (m_thread.joinable()) {
        m_pServer->RequestStop();
        m_thread.join();
    }
}

const std::string& CSimulator::SlavePath() const {
    static const std::string kNone;
    return m_pServer ? m_pServer->SlavePath() : kNone;
}

void CSimulator::Reset() {
    if (m_pServer)
        m_pServer->RequestReset();
}

SimCounters CSimulator::Counters() const {
    return m_pServer ? m_pServer->Counters() : SimCounters{};
}

std::vector<SimFrame> CSimulator::Frames() const {
    return m_pServer ? m_pServer->Frames() : std::vector<SimFrame>{};
}

SimFlashRuns CSimulator::FlashRuns() const {
    return m_pServer ? m_pServer->FlashRuns() : SimFlashRuns{};
}

bool CSimulator::DumpFlash(const std::string& path, std::string& error) const {
    if (!m_pServer) {
        error = "the simulator has not started";
        return false;
    }
    return m_pServer->DumpFlash(path, error);
}

std::chrono::nanoseconds CSimulator::PacedWireTime() const {
    return m_pServer ? m_pServer->PacedWireTime() : std::chrono::nanoseconds(0);
}

uint64_t CSimulator::PacedBytes() const {
    return m_pServer ? m_pServer->PacedBytes() : 0;
}

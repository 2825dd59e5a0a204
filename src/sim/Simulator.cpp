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

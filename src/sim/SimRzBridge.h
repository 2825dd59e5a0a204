// Runs the ZModem receiver `rz` (lrzsz) as a child process on a socket pair: the simulated controller
// hands it what the program sends and passes back what it writes. The child is killed and reaped when
// this object goes.
#pragma once

#include "platform/ChildProcess.h"
#include "platform/UniqueFd.h"

#include <cstdint>
#include <string>
#include <vector>

class CSimRzBridge {
public:
    CSimRzBridge() = default;
    ~CSimRzBridge() { Stop(); }
    CSimRzBridge(const CSimRzBridge&) = delete;
    CSimRzBridge& operator=(const CSimRzBridge&) = delete;

    // Starts rz in folder; false with a message.
    bool Start(const std::string& folder, std::string& error);
    // Kills a running rz and reaps it.
    void Stop();
    bool IsRunning() const { return m_rz.IsRunning(); }

    // Bytes for rz; what its input cannot take now is held and written on later Pump calls.
    void Put(const uint8_t* data, size_t length);
    // Moves what rz wrote to output, writes held input and reaps rz once it has ended; true then.
    bool Pump(std::vector<uint8_t>& output);
    // The descriptor to poll (readable, or writable while input is held); -1 once rz closed its end.
    int Fd() const { return m_bEof ? -1 : m_socket.Get(); }
    bool HoldsInput() const { return !m_held.empty(); }
    // How rz ended: its exit code, or 128 + the signal.
    int ExitStatus() const { return m_nExitStatus; }

private:
    void WriteHeld();

    CUniqueFd m_socket; // our end, non-blocking
    CChildProcess m_rz;
    bool m_bEof = false;
    int m_nExitStatus = -1;
    std::vector<uint8_t> m_held;
};

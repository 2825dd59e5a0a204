// The simulator's pseudo-terminal: the master side it reads and writes, and a slave descriptor of its own
// so that the port survives the program closing and reopening it (and the master never sees EIO).
#pragma once

#include "platform/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CSimPty {
public:
    CSimPty() = default;
    CSimPty(const CSimPty&) = delete;
    CSimPty& operator=(const CSimPty&) = delete;

    // Creates the pair, puts the slave in raw mode at 19200 baud at once (nothing echoed before the
    // program configures it). False with a message on failure.
    bool Open(std::string& error);

    const std::string& SlavePath() const { return m_strSlavePath; }
    int MasterFd() const { return m_master.Get(); }

    // Whatever the program has written, without waiting: the byte count, 0 for none, -1 on failure
    // (errno EIO: no slave open, which the own slave descriptor prevents).
    long Read(uint8_t* buffer, size_t length);
    // Writes as much as the slave's input queue takes now; the count written, -1 on failure.
    long Write(const uint8_t* data, size_t length);
    // Closes the master and the own slave: whoever has the slave open sees a hang-up.
    void HangUp() {
        m_master.Reset();
        m_slave.Reset();
    }
    // The line speed the program set on the slave (the master reports the slave's settings); 0 unknown.
    unsigned LineSpeed() const;

private:
    CUniqueFd m_master;
    CUniqueFd m_slave;
    std::string m_strSlavePath;
};

// The baud rate of a termios speed constant; 0 for one it does not know.
unsigned SimBaudOfSpeed(unsigned speedConstant);

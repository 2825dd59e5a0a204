// A pseudo-terminal pair for tests: the program opens the slave by its path like a COM port, the test
// plays the controller on the master side with plain reads and writes.
#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class CPtyPair {
public:
    CPtyPair();
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    const std::string& SlavePath() const { return m_strSlavePath; }
    int Master() const { return m_master.Get(); }

    void WriteMaster(const std::vector<uint8_t>& bytes);
    void WriteMaster(const std::string& text);
    // Reads until count bytes came or the real time-out passed.
    std::vector<uint8_t> ReadMaster(size_t count, std::chrono::milliseconds timeout);
    // The line speed the program set on the slave, seen from the master.
    unsigned SlaveBaud() const;
    // Closes the master side: a real hang-up for whoever has the slave open.
    void HangUp() { m_master.Reset(); }

private:
    CUniqueFd m_master;
    CUniqueFd m_slaveKeeper; // keeps the slave alive between the program's opens
    std::string m_strSlavePath;
};

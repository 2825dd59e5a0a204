// A COM port over POSIX termios, with the Windows semantics the link relies on: exclusive open, mode
// strings, raw mode without flow control, the five read/write time-outs, error clearing and purging.
#pragma once

#include "platform/SerialMode.h"
#include "platform/UniqueFd.h"
#include "platform/UucpLock.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The five Windows communication time-outs, in milliseconds. 0xFFFFFFFF in the interval with the two
// others 0 means "return at once with what is there".
struct CommTimeouts {
    uint32_t nReadInterval = 0;
    uint32_t nReadMultiplier = 0;
    uint32_t nReadConstant = 0;
    uint32_t nWriteMultiplier = 0;
    uint32_t nWriteConstant = 0;
};

// Purge flags, as the platform numbers them.
constexpr uint32_t kPurgeTxAbort = 0x0001;
constexpr uint32_t kPurgeRxAbort = 0x0002;
constexpr uint32_t kPurgeTxClear = 0x0004;
constexpr uint32_t kPurgeRxClear = 0x0008;

struct CommStatus {
    uint32_t nInQueue = 0;
    uint32_t nOutQueue = 0;
};

class CSerialPort {
public:
    CSerialPort() = default;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the device with exclusive use and its lock file. Non-blocking mode serves the terminal. False
    // and errno on failure (EBUSY when another program holds the device or its lock file).
    bool Open(const std::string& devicePath, bool nonBlocking);
    void Close();
    bool IsOpen() const { return m_fd.IsValid(); }
    int Descriptor() const { return m_fd.Get(); }

    // Raw mode at the given line settings; reads the settings back and fails when they did not take.
    bool ApplyMode(const SerialMode& mode);
    bool SetTimeouts(const CommTimeouts& timeouts);
    const CommTimeouts& Timeouts() const { return m_timeouts; }

    // Blocking read with the read time-outs. True unless the device failed; got may be below length.
    bool Read(uint8_t* buffer, size_t length, size_t& got);
    // Blocking write with the write time-outs. True when every byte went out in time.
    bool Write(const uint8_t* data, size_t length, size_t& written);
    // Whatever is there now, without waiting; -1 on a device failure.
    long ReadAvailable(uint8_t* buffer, size_t length);
    // Waits up to the given real milliseconds for input. 1 ready, 0 time-out, -1 failure or hang-up.
    int WaitReadable(int realMilliseconds);

    bool ClearErrors(uint32_t& errors, CommStatus& status);
    bool Purge(uint32_t flags);
    // Waits until every written byte has left (line speed changes must not cut a frame in flight).
    bool Drain();

    unsigned Baud() const { return m_nBaud; }

private:
    CUucpLock m_uucpLock; // declared first: released after the descriptor closes
    CUniqueFd m_fd;
    CommTimeouts m_timeouts;
    unsigned m_nBaud = 0;
    bool m_bNonBlocking = false;
};

// Collects one data frame (0x02, length, payload, XOR checksum) from the received bytes and judges it:
// checksum, the plain or "MR:...:" form, and the line speeds its bytes arrived at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t kSimStx = 0x02;

struct SimFrame {
    unsigned nNumber = 0; // counting from 1 over the whole run
    bool bChecksumOk = false;
    bool bMr = false;           // "MR:" data ":" form (address frames)
    unsigned nSpeed = 0;        // line speed of the first byte
    bool bMixedSpeed = false;   // not all bytes arrived at nSpeed
    bool bAccepted = false;     // acknowledged (set by the controller)
    std::vector<uint8_t> bytes; // the whole frame as received
    std::vector<uint8_t> data;  // the payload, without "MR:" and ":" for the MR form
};

class CSimFrameReceiver {
public:
    bool IsActive() const { return m_bActive; }
    // Starts a frame with its 0x02.
    void Start(unsigned speed, uint32_t nowMs);
    // Adds one byte; true when the frame is complete (then Take() returns it).
    bool Put(uint8_t byte, unsigned speed, uint32_t nowMs);
    SimFrame Take();
    // Drops an unfinished frame; returns its bytes.
    std::vector<uint8_t> Abandon();
    uint32_t LastByteMs() const { return m_nLastMs; }

private:
    bool m_bActive = false;
    uint32_t m_nLastMs = 0;
    SimFrame m_frame;
};

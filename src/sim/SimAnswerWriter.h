// Everything the simulated controller sends goes through here: answer lines (LF or, as a fault, CR LF),
// single bytes, noise; each element is traced. A silenced writer sends nothing at all.
#pragma once

#include "sim/SimTrace.h"

#include <cstdint>
#include <string>
#include <vector>

class CSimAnswerWriter {
public:
    CSimAnswerWriter(CSimTrace* pTrace, bool bCrlf, bool bSilent)
        : m_pTrace(pTrace), m_bCrlf(bCrlf), m_bSilent(bSilent) {}

    // Sets the clock time and line speed that the next elements are traced with.
    void SetContext(uint64_t traceMs, unsigned speed) {
        m_nTraceMs = traceMs;
        m_nSpeed = speed;
    }

    // text and the line end.
    void Line(const std::string& text, const std::string& meaning);
    void Byte(uint8_t byte, const std::string& meaning);
    void Bytes(const std::vector<uint8_t>& bytes, const std::string& meaning) { Send(bytes, meaning); }
    // A line of bytes that mean nothing to the program (never LF inside, never a probe's first letter).
    void Noise(const std::string& meaning);

    std::vector<uint8_t> TakeOutput();

private:
    void Send(const std::vector<uint8_t>& bytes, const std::string& meaning);

    CSimTrace* m_pTrace;
    bool m_bCrlf;
    bool m_bSilent;
    uint64_t m_nTraceMs = 0;
    unsigned m_nSpeed = 0;
    uint32_t m_nNoiseSeed = 0x2545F491u;
    std::vector<uint8_t> m_output;
};

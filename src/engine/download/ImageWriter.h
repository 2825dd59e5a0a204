// Lays out an image from pieces of data at ascending addresses: an address record for the first piece,
// gaps of up to 8 bytes filled with 0xFF, larger gaps filled with up to 252 bytes of 0xFF and followed by a
// new record. Refuses an address below the next free one, and refuses a piece that would put the record
// marker "~MR:" into a data run (the reader would take it for a record and corrupt the image).
#pragma once

#include "engine/download/ImageSource.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CImageWriter {
public:
    enum class EResult {
        Ok,
        LowerAddress, // the address is below the next free address; nothing written
        MarkerInData, // the data run would hold "~MR:"; nothing written
        WriteFailed,  // the sink refused bytes
    };

    explicit CImageWriter(IImageByteSink& sink) : m_sink(sink) {}
    CImageWriter(const CImageWriter&) = delete;
    CImageWriter& operator=(const CImageWriter&) = delete;

    // Adds length bytes of data at address (length may be 0). On failure ErrorText() says why.
    EResult Put(uint32_t address, const uint8_t* data, size_t length);

    bool HasNextFree() const { return m_bStarted; }
    // The address just past the last data byte written (may pass 32 bits at the very top).
    uint64_t NextFree() const { return m_nNextFree; }
    const std::string& ErrorText() const { return m_strError; }

    // "Address Jump to lower address detected!\nThis is not allowed!\n(0x%X --> 0x%X )".
    static std::string LowerAddressText(uint32_t nextFree, uint32_t address);

private:
    bool Emit(const uint8_t* data, size_t length);

    IImageByteSink& m_sink;
    bool m_bStarted = false;
    uint64_t m_nNextFree = 0;
    // The last bytes of the current data run (fill included), to find a marker across two pieces.
    uint8_t m_tail[3] = {};
    size_t m_nTail = 0;
    std::vector<uint8_t> m_run; // the run around the piece being put, kept for its room
    std::string m_strError;
};

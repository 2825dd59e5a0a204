// The transfer pass over an image: cuts the byte stream into data blocks and address records, in file
// order, the way the download sends them. Each 0x7E is judged by its own next three bytes; after "~MR:"
// exactly four address bytes follow, then ":" (so addresses holding 0x3A bytes read correctly). Reads the
// source in large pieces but hands out at most one block at a time.
#pragma once

#include "engine/download/ImageFormat.h"
#include "engine/download/ImageSource.h"

#include <cstddef>
#include <cstdint>

class CImageReader {
public:
    enum class EStop {
        BlockFull,     // the block reached its capacity; more may follow
        Address,       // an address record was read (AddressBytes()); the block holds the data before it
        End,           // the image ended; the block holds its last data
        UnexpectedEnd, // the image ended inside an address record
        BadRecord,     // the byte after a record's four address bytes is not ":"
        ReadError,     // the source failed
    };

    explicit CImageReader(IImageByteSource& source) : m_source(source) {}
    CImageReader(const CImageReader&) = delete;
    CImageReader& operator=(const CImageReader&) = delete;

    // Appends data bytes to block from block[length] on until capacity, an address record or the end.
    // After one of the three failures every later call returns the same failure.
    EStop Fill(uint8_t* block, size_t capacity, size_t& length);

    // The four address bytes of the record the last Fill stopped at, as they stand in the file.
    const uint8_t* AddressBytes() const { return m_address; }
    uint32_t Address() const { return ImageAddressValue(m_address); }

    // File bytes consumed so far: data, records, and each byte once even when it was looked at twice.
    uint64_t Consumed() const { return m_nConsumed; }

private:
    // Makes at least count bytes available at m_nPos, fewer only at the end of the source. False when the
    // source failed.
    bool Ensure(size_t count);
    size_t Available() const { return m_nEnd - m_nPos; }
    void Skip(size_t count) {
        m_nPos += count;
        m_nConsumed += count;
    }
    EStop Fail(EStop failure) { return m_eFailure = failure; }

    IImageByteSource& m_source;
    uint8_t m_buffer[4096];
    size_t m_nPos = 0;
    size_t m_nEnd = 0;
    bool m_bSourceEnded = false;
    EStop m_eFailure = EStop::BlockFull; // BlockFull: no failure yet
    uint64_t m_nConsumed = 0;
    uint8_t m_address[kImageAddressBytes] = {};
};

// Reads the whole image by the transfer pass's rules: true when it ends cleanly, false when the transfer
// would stop at a record cut short, a malformed record or a read failure.
bool ImageReadsToItsEnd(IImageByteSource& source);

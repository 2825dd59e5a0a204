#include "engine/download/ImageReader.h"

#include <algorithm>
#include <cstring>

bool CImageReader::Ensure(size_t count) {
    if (Available() >= count || m_bSourceEnded)
        return true;
    // Keep the unread bytes, make room behind them.
    std::memmove(m_buffer, m_buffer + m_nPos, Available());
    m_nEnd -= m_nPos;
    m_nPos = 0;
    while (Available() < count && !m_bSourceEnded) {
        const long got = m_source.Read(m_buffer + m_nEnd, sizeof(m_buffer) - m_nEnd);
        if (got < 0)
            return false;
        if (got == 0)
            m_bSourceEnded = true;
        m_nEnd += static_cast<size_t>(got);
    }
    return true;
}

CImageReader::EStop CImageReader::Fill(uint8_t* block, size_t capacity, size_t& length) {
    if (m_eFailure != EStop::BlockFull)
        return m_eFailure;
    while (length < capacity) {
        if (!Ensure(1))
            return Fail(EStop::ReadError);
        if (Available() == 0)
            return EStop::End;
        const uint8_t* here = m_buffer + m_nPos;
        if (*here != kImageMarker) {
            // A run of plain data bytes up to the next marker, the block's end or the buffer's end.
            const size_t most = std::min(capacity - length, Available());
            const void* marker = std::memchr(here, kImageMarker, most);
            const size_t count =
                marker ? static_cast<size_t>(static_cast<const uint8_t*>(marker) - here) : most;
            std::memcpy(block + length, here, count);
            length += count;
            Skip(count);
            continue;
        }
        if (!Ensure(1 + sizeof(kImageTag)))
            return Fail(EStop::ReadError);
        if (Available() < 1 + sizeof(kImageTag) ||
            std::memcmp(m_buffer + m_nPos + 1, kImageTag, sizeof(kImageTag)) != 0) {
            // Not a record: the marker is data, and the bytes after it are read again.
            block[length++] = kImageMarker;
            Skip(1);
            continue;
        }
        Skip(1 + sizeof(kImageTag));
        if (!Ensure(kImageAddressBytes + 1))
            return Fail(EStop::ReadError);
        if (Available() < kImageAddressBytes + 1) {
            Skip(Available());
            return Fail(EStop::UnexpectedEnd);
        }
        std::memcpy(m_address, m_buffer + m_nPos, kImageAddressBytes);
        Skip(kImageAddressBytes);
        if (m_buffer[m_nPos] != kImageRecordClose)
            return Fail(EStop::BadRecord);
        Skip(1);
        return EStop::Address;
    }
    return EStop::BlockFull;
}

bool ImageReadsToItsEnd(IImageByteSource& source) {
    CImageReader reader(source);
    uint8_t block[4096];
    for (;;) {
        size_t filled = 0;
        const CImageReader::EStop stop = reader.Fill(block, sizeof block, filled);
        if (stop == CImageReader::EStop::End)
            return true;
        if (stop != CImageReader::EStop::BlockFull && stop != CImageReader::EStop::Address)
            return false;
    }
}

#include "engine/download/ImageWriter.h"

#include "engine/app/MessageTexts.h"
#include "engine/download/ImageFormat.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

// Offset of "~MR:" in bytes, or -1.
long FindMarker(const uint8_t* bytes, size_t length) {
    const uint8_t* end = bytes + length;
    for (const uint8_t* at = bytes; end - at >= 4; ++at) {
        at = static_cast<const uint8_t*>(std::memchr(at, kImageMarker, static_cast<size_t>(end - at - 3)));
        if (at == nullptr)
            return -1;
        if (std::memcmp(at + 1, kImageTag, sizeof(kImageTag)) == 0)
            return static_cast<long>(at - bytes);
    }
    return -1;
}

constexpr std::array<uint8_t, kImageMaxFill> MakeFill() {
    std::array<uint8_t, kImageMaxFill> fill{};
    for (uint8_t& byte : fill)
        byte = kImageFillByte;
    return fill;
}
constexpr std::array<uint8_t, kImageMaxFill> kFill = MakeFill();

} // namespace

std::string CImageWriter::LowerAddressText(uint32_t nextFree, uint32_t address) {
    char text[128];
    std::snprintf(text, sizeof(text),
                  "Address Jump to lower address detected!\nThis is not allowed!\n(0x%X --> 0x%X )", nextFree,
                  address);
    return text;
}

bool CImageWriter::Emit(const uint8_t* data, size_t length) {
    if (length == 0)
        return true;
    if (!m_sink.Write(data, length)) {
        m_strError = kImageFileNotWritten;
        return false;
    }
    return true;
}

CImageWriter::EResult CImageWriter::Put(uint32_t address, const uint8_t* data, size_t length) {
    m_strError.clear();
    bool bRecord = !m_bStarted;
    uint32_t fill = 0;
    if (m_bStarted) {
        if (address < m_nNextFree) {
            m_strError = LowerAddressText(static_cast<uint32_t>(m_nNextFree), address);
            return EResult::LowerAddress;
        }
        const uint64_t gap = address - m_nNextFree;
        fill = static_cast<uint32_t>(std::min<uint64_t>(gap, kImageMaxFill));
        bRecord = gap > kImageMaxGapWithoutRecord;
    }

    // The data run as the reader will see it around this piece: what stays of the run's tail (nothing
    // after a new record), the fill, then the data.
    std::vector<uint8_t>& run = m_run;
    run.clear();
    if (!bRecord)
        run.assign(m_tail, m_tail + m_nTail);
    run.insert(run.end(), bRecord ? 0 : fill, kImageFillByte);
    const size_t dataStart = run.size();
    run.insert(run.end(), data, data + length);
    const long marker = FindMarker(run.data(), run.size());
    if (marker >= 0) {
        // Offset of the marker's first byte relative to the piece's first data byte.
        const long offset = marker - static_cast<long>(dataStart);
        char text[160];
        std::snprintf(
            text, sizeof(text),
            "The data at 0x%X holds the image record marker \"~MR:\" and cannot be stored in an image.",
            static_cast<uint32_t>(address + offset));
        m_strError = text;
        return EResult::MarkerInData;
    }

    if (!Emit(kFill.data(), fill))
        return EResult::WriteFailed;
    if (bRecord) {
        const uint8_t record[kImageRecordBytes] = {kImageMarker,
                                                   kImageTag[0],
                                                   kImageTag[1],
                                                   kImageTag[2],
                                                   static_cast<uint8_t>(address >> 24),
                                                   static_cast<uint8_t>(address >> 16),
                                                   static_cast<uint8_t>(address >> 8),
                                                   static_cast<uint8_t>(address),
                                                   kImageRecordClose};
        if (!Emit(record, sizeof(record)))
            return EResult::WriteFailed;
    }
    if (!Emit(data, length))
        return EResult::WriteFailed;

    m_bStarted = true;
    m_nNextFree = uint64_t{address} + length;
    // Keep the run's last three bytes; a new record starts a new run.
    const size_t keep = std::min<size_t>(3, bRecord ? length : run.size());
    const uint8_t* end = bRecord ? data + length : run.data() + run.size();
    if (keep > 0) // an empty run may have no storage at all: memcpy takes no null pointer
        std::memcpy(m_tail, end - keep, keep);
    m_nTail = keep;
    return EResult::Ok;
}

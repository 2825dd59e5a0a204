#include "engine/download/ImageAnalysis.h"

#include "engine/download/ImageFormat.h"

#include <cstring>

namespace {

// One byte at a time from a buffered source; a failed read counts as the end.
class CAnalysisInput {
public:
    explicit CAnalysisInput(IImageByteSource& source) : m_source(source) {}

    bool Get(uint8_t& byte) {
        if (m_nPos == m_nEnd && !Refill())
            return false;
        byte = m_buffer[m_nPos++];
        return true;
    }
    // Up to count bytes; how many came.
    size_t Get(uint8_t* bytes, size_t count) {
        size_t got = 0;
        while (got < count && Get(bytes[got]))
            ++got;
        return got;
    }

private:
    bool Refill() {
        if (m_bEnded)
            return false;
        const long got = m_source.Read(m_buffer, sizeof(m_buffer));
        if (got <= 0) {
            m_bEnded = true;
            return false;
        }
        m_nPos = 0;
        m_nEnd = static_cast<size_t>(got);
        return true;
    }

    IImageByteSource& m_source;
    uint8_t m_buffer[4096];
    size_t m_nPos = 0;
    size_t m_nEnd = 0;
    bool m_bEnded = false;
};

// Tag, address, closing ":" and one byte beyond it.
constexpr size_t kBytesAfterMarker = 9;
// Tag and address: fewer than this and the record is ignored.
constexpr size_t kBytesForAddress = 3 + kImageAddressBytes;

} // namespace

int AnalyzeImageRegions(IImageByteSource& source, int connectState,
                        const std::function<void()>& progressStep) {
    CAnalysisInput input(source);
    int regions = 0;
    uint32_t counter = 0;
    uint8_t byte = 0;
    while (input.Get(byte)) {
        if (++counter > kImageAnalysisStepBytes) {
            if (progressStep)
                progressStep();
            counter = 0;
        }
        if (byte != kImageMarker)
            continue;
        uint8_t after[kBytesAfterMarker];
        const size_t got = input.Get(after, sizeof(after));
        if (got >= kBytesForAddress && std::memcmp(after, kImageTag, sizeof(kImageTag)) == 0)
            regions |= ImageRegionOfAddress(ImageAddressValue(after + 3), connectState);
        if (got < sizeof(after))
            break;
    }
    return regions;
}

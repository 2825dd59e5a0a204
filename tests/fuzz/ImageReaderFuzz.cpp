// Any file given as an image: the analysis pass and the transfer-pass reader end without a fault, the
// reader consumes exactly the file when it reports its end, and never hands out more than a block.
#include "engine/download/ImageAnalysis.h"
#include "engine/download/ImageFormat.h"
#include "engine/download/ImageReader.h"
#include "engine/download/ImageSource.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses how the source cuts its reads, so reads of every size are tried.
    const size_t chunk = data[0] % 16;
    std::vector<uint8_t> bytes(data + 1, data + size);
    for (int state = 0; state <= 2; ++state) {
        CImageMemorySource source(bytes, chunk);
        const int regions = AnalyzeImageRegions(source, state);
        if (regions < 0 || regions > 7)
            std::abort();
    }
    CImageMemorySource source(bytes, chunk);
    CImageReader reader(source);
    uint8_t block[kImageBlockBytes];
    for (size_t guard = 0; guard <= bytes.size() + 1; ++guard) {
        size_t filled = 0;
        const CImageReader::EStop stop = reader.Fill(block, sizeof block, filled);
        if (filled > sizeof block || reader.Consumed() > bytes.size())
            std::abort();
        if (stop == CImageReader::EStop::End) {
            if (reader.Consumed() != bytes.size())
                std::abort();
            return 0;
        }
        if (stop != CImageReader::EStop::BlockFull && stop != CImageReader::EStop::Address)
            return 0;
    }
    std::abort(); // the reader never came to an end
}

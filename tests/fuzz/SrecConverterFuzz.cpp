// Any text given as S-records: the conversion ends with one of its results, names a reason exactly when
// it fails, and what it wrote is an image the transfer pass reads to its end with the data it counted.
#include "engine/download/ImageFormat.h"
#include "engine/download/ImageReader.h"
#include "engine/download/ImageSource.h"
#include "engine/download/SrecConverter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses how the source cuts its reads, so records split at every place are tried.
    CImageMemorySource input(std::vector<uint8_t>(data + 1, data + size), data[0] % 16);
    CImageMemorySink output;
    CSrecConverter converter(input, output);
    const CSrecConverter::EResult result = converter.Convert();
    if ((result == CSrecConverter::EResult::Ok) != converter.ErrorText().empty())
        std::abort();
    if (result != CSrecConverter::EResult::Ok)
        return 0;

    CImageMemorySource image(output.Bytes());
    CImageReader reader(image);
    uint64_t dataBytes = 0;
    uint8_t block[kImageBlockBytes];
    for (;;) {
        size_t filled = 0;
        const CImageReader::EStop stop = reader.Fill(block, sizeof block, filled);
        dataBytes += filled;
        if (stop == CImageReader::EStop::End)
            break;
        if (stop != CImageReader::EStop::BlockFull && stop != CImageReader::EStop::Address)
            std::abort(); // the converter wrote an image its own reader refuses
    }
    // The writer may add fill bytes to close short gaps, never fewer bytes than the records carried.
    if (dataBytes < converter.DataBytes() || reader.Consumed() != output.Bytes().size())
        std::abort();
    return 0;
}

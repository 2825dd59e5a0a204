// Any bytes from a ZModem receiver as headers: each reception ends (a header, or -1 once the bytes run
// out or the line is judged hopeless), a header's format is hex or binary, and its type is a byte.
#include "FuzzLink.h"
#include "engine/zmodem/ZModemUtil.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFuzzLink fuzz(data, size);
    CZModemUtil util;
    util.SetLink(&fuzz.Link());
    for (size_t headers = 0; headers <= size; ++headers) {
        uint8_t header[4] = {};
        const int type = util.GetHeader(header);
        if (type < 0)
            return 0;
        if (type > 255)
            std::abort();
        if (util.ReceivedFormat() != ZBIN && util.ReceivedFormat() != ZHEX && type != 0)
            std::abort();
    }
    std::abort(); // a header that consumed nothing
}

// Any bytes from the controller as command answers: each read ends with one of the answer codes and takes
// at least one byte, so a stream of answers is read to its end.
#include "FuzzLink.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFuzzLink fuzz(data, size);
    for (size_t answers = 0;; ++answers) {
        const int answer = fuzz.Link().ReadAnswer();
        if (answer == kAnswerNothing)
            return 0;
        if (answer != kAnswerOk && answer != kAnswerDone && answer != kAnswerError && answer != kAnswerOther)
            std::abort();
        if (answers > size)
            std::abort(); // an answer that consumed nothing
    }
}

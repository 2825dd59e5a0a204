// Any byte stream from the controller keeps the terminal screen consistent: the cursor never goes
// negative and the parser stays within its states. (ESC [ 0 J on row 0 may leave no line at all; the next
// byte adds one again.)
#include "engine/terminal/TerminalScreen.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CTerminalScreen screen;
    screen.ShowTerminal();
    for (size_t i = 0; i < size; ++i) {
        screen.PutChar(data[i]);
        if (screen.CursorColumn() < 0 || screen.CursorRow() < 0 || screen.ParserState() < 0 ||
            screen.ParserState() > 6)
            std::abort();
    }
    return 0;
}

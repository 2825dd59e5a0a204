// Recognises "+++" and one letter in the byte stream the controller receives, a byte at a time (the
// program writes commands one byte per write, so a command may span several reads).
#pragma once

#include <cstdint>

class CSimCommandParser {
public:
    enum class Result {
        Pending,    // the byte is a '+' that may start a command; held
        Command,    // "+++" and a letter: Letter() tells which
        NotCommand, // the byte is not part of a command; TakeHeld() returns how many '+' were held before it
        ExtraPlus,  // a fourth '+': one held '+' is released as a stray byte, three stay held
    };

    Result Put(uint8_t byte);
    char Letter() const { return m_cLetter; }
    // The number of '+' released by the last NotCommand (they came before the byte that broke them off).
    unsigned TakeHeld();
    bool IsHolding() const { return m_nPlus > 0; }

private:
    unsigned m_nPlus = 0;
    unsigned m_nReleased = 0;
    char m_cLetter = 0;
};

// The console's keyboard in raw mode for dravik-cli's terminal: every key goes to the controller as it is
// pressed (no line editing, no echo, Ctrl-C and Ctrl-Z as plain bytes). The settings come back when the
// object goes, and at an immediate exit by a signal too. Nothing happens when the input is no terminal.
#pragma once

#include <termios.h>

class CRawConsole {
public:
    explicit CRawConsole(int fd);
    ~CRawConsole();
    CRawConsole(const CRawConsole&) = delete;
    CRawConsole& operator=(const CRawConsole&) = delete;

    bool IsRaw() const { return m_bRaw; }

private:
    int m_fd;
    bool m_bRaw = false;
    termios m_saved{};
};

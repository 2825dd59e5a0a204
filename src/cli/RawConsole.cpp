#include "cli/RawConsole.h"

#include "platform/ExitCleanup.h"

#include <unistd.h>

CRawConsole::CRawConsole(int fd) : m_fd(fd) {
    if (!::isatty(fd) || ::tcgetattr(fd, &m_saved) != 0)
        return;
    termios raw = m_saved;
    raw.c_iflag &= ~(IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT);
    raw.c_lflag &= ~(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // Output processing stays: the program's own lines keep their carriage returns.
    ExitCleanup::AddTerminal(fd, m_saved);
    m_bRaw = ::tcsetattr(fd, TCSANOW, &raw) == 0;
    if (!m_bRaw)
        ExitCleanup::RemoveTerminal(fd);
}

CRawConsole::~CRawConsole() {
    if (!m_bRaw)
        return;
    ::tcsetattr(m_fd, TCSANOW, &m_saved);
    ExitCleanup::RemoveTerminal(m_fd);
}

#include "sim/SimPty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>

unsigned SimBaudOfSpeed(unsigned speedConstant) {
    static const struct {
        speed_t nConstant;
        unsigned nBaud;
    } kSpeeds[] = {{B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
                   {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
                   {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
                   {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
                   {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    for (const auto& entry : kSpeeds) {
        if (entry.nConstant == speedConstant)
            return entry.nBaud;
    }
    return 0;
}

bool CSimPty::Open(std::string& error) {
    CUniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.IsValid() || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(master.Get(), name, sizeof(name)) != 0) {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    CUniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    struct termios settings {};
    if (!slave.IsValid() || ::tcgetattr(slave.Get(), &settings) != 0) {
        error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B19200);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(slave.Get(), TCSANOW, &settings) != 0) {
        error = std::string("cannot configure ") + name + ": " + std::strerror(errno);
        return false;
    }
    const int flags = ::fcntl(master.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(master.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        error = std::string("cannot configure the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    m_master = std::move(master);
    m_slave = std::move(slave);
    m_strSlavePath = name;
    return true;
}

long CSimPty::Read(uint8_t* buffer, size_t length) {
    for (;;) {
        const ssize_t got = ::read(m_master.Get(), buffer, length);
        if (got >= 0)
            return got;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

long CSimPty::Write(const uint8_t* data, size_t length) {
    for (;;) {
        const ssize_t put = ::write(m_master.Get(), data, length);
        if (put >= 0)
            return put;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

unsigned CSimPty::LineSpeed() const {
    struct termios settings {};
    if (::tcgetattr(m_master.Get(), &settings) != 0)
        return 0;
    return SimBaudOfSpeed(::cfgetospeed(&settings));
}

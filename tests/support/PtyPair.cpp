#include "support/PtyPair.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

CPtyPair::CPtyPair() {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    struct termios raw {};
    ::cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    // Programs the test starts must not hold the master: closing it is the test's hang-up.
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_master.Reset(master);
    m_slaveKeeper.Reset(slave);
    m_strSlavePath = name;
}

void CPtyPair::WriteMaster(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("write to pty master failed");
        done += static_cast<size_t>(n);
    }
}

void CPtyPair::WriteMaster(const std::string& text) {
    WriteMaster(std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> CPtyPair::ReadMaster(size_t count, std::chrono::milliseconds timeout) {
    std::vector<uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        struct pollfd entry {
            m_master.Get(), POLLIN, 0
        };
        if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            continue;
        uint8_t buffer[512];
        const ssize_t n = ::read(m_master.Get(), buffer, std::min(sizeof buffer, count - bytes.size()));
        if (n > 0)
            bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

unsigned CPtyPair::SlaveBaud() const {
    struct termios settings {};
    if (::tcgetattr(m_master.Get(), &settings) != 0)
        return 0;
    switch (::cfgetospeed(&settings)) {
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 1;
    }
}

#include "platform/SerialPort.h"

#include "platform/Clock.h"
#include "platform/ExitCleanup.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

bool BaudConstant(unsigned baud, speed_t& speed) {
    switch (baud) {
    case 50:
        speed = B50;
        return true;
    case 75:
        speed = B75;
        return true;
    case 110:
        speed = B110;
        return true;
    case 134:
        speed = B134;
        return true;
    case 150:
        speed = B150;
        return true;
    case 200:
        speed = B200;
        return true;
    case 300:
        speed = B300;
        return true;
    case 600:
        speed = B600;
        return true;
    case 1200:
        speed = B1200;
        return true;
    case 1800:
        speed = B1800;
        return true;
    case 2400:
        speed = B2400;
        return true;
    case 4800:
        speed = B4800;
        return true;
    case 9600:
        speed = B9600;
        return true;
    case 19200:
        speed = B19200;
        return true;
    case 38400:
        speed = B38400;
        return true;
    case 57600:
        speed = B57600;
        return true;
    case 115200:
        speed = B115200;
        return true;
    case 230400:
        speed = B230400;
        return true;
    case 460800:
        speed = B460800;
        return true;
    case 921600:
        speed = B921600;
        return true;
    default:
        return false;
    }
}

// Real time left until a deadline, for poll(); -1 without a deadline.
int PollTimeout(bool hasDeadline, SteadyClock::time_point deadline) {
    if (!hasDeadline)
        return -1;
    const auto left = deadline - SteadyClock::now();
    if (left <= SteadyClock::duration::zero())
        return 0;
    // Round up so that a wait never ends before its deadline.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

} // namespace

bool CSerialPort::Open(const std::string& devicePath, bool nonBlocking) {
    Close();
    if (!m_uucpLock.Acquire(devicePath))
        return false;
    // Any failure below gives the lock file back, keeping the errno that says why.
    auto fail = [this](int error) {
        m_uucpLock.Release();
        errno = error;
        return false;
    };
    CUniqueFd fd(::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid())
        return fail(errno);
    // No sharing: the lock keeps out other programs (and root, which TIOCEXCL does not stop).
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return fail(EBUSY);
    if (::ioctl(fd.Get(), TIOCEXCL) != 0)
        return fail(errno);
    struct termios settings {};
    if (::tcgetattr(fd.Get(), &settings) != 0)
        return fail(ENOTTY);
    // The descriptor stays non-blocking; blocking behaviour comes from poll() deadlines.
    m_fd = std::move(fd);
    ExitCleanup::AddPort(m_fd.Get());
    m_bNonBlocking = nonBlocking;
    m_timeouts = CommTimeouts{};
    return true;
}

void CSerialPort::Close() {
    if (m_fd.IsValid()) {
        ExitCleanup::RemovePort(m_fd.Get());
        ::ioctl(m_fd.Get(), TIOCNXCL);
        m_fd.Reset();
    }
    m_uucpLock.Release();
}

bool CSerialPort::ApplyMode(const SerialMode& mode) {
    if (!m_fd.IsValid())
        return false;
    speed_t speed{};
    if (!BaudConstant(mode.nBaud, speed)) {
        errno = EINVAL;
        return false;
    }
    struct termios settings {};
    if (::tcgetattr(m_fd.Get(), &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
    settings.c_cflag |= CLOCAL | CREAD;
    switch (mode.nDataBits) {
    case 5:
        settings.c_cflag |= CS5;
        break;
    case 6:
        settings.c_cflag |= CS6;
        break;
    case 7:
        settings.c_cflag |= CS7;
        break;
    default:
        settings.c_cflag |= CS8;
        break;
    }
    switch (mode.cParity) {
    case 'e':
        settings.c_cflag |= PARENB;
        break;
    case 'o':
        settings.c_cflag |= PARENB | PARODD;
        break;
    case 'm':
        settings.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 's':
        settings.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (mode.nStopBits == 2)
        settings.c_cflag |= CSTOPB;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0)
        return false;
    if (::tcsetattr(m_fd.Get(), TCSANOW, &settings) != 0)
        return false;
    struct termios readBack {};
    if (::tcgetattr(m_fd.Get(), &readBack) != 0)
        return false;
    const tcflag_t checked = CSIZE | PARENB | PARODD | CSTOPB;
    if (::cfgetospeed(&readBack) != speed || (readBack.c_cflag & checked) != (settings.c_cflag & checked)) {
        errno = EIO;
        return false;
    }
    m_nBaud = mode.nBaud;
    return true;
}

bool CSerialPort::SetTimeouts(const CommTimeouts& timeouts) {
    if (!m_fd.IsValid())
        return false;
    m_timeouts = timeouts;
    return true;
}

int CSerialPort::WaitReadable(int realMilliseconds) {
    struct pollfd entry {
        m_fd.Get(), POLLIN, 0
    };
    for (;;) {
        const int ready = ::poll(&entry, 1, realMilliseconds);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return -1;
        if (ready == 0)
            return 0;
        // A port that hung up also reports POLLIN, and its reads then return 0 at once: it counts as gone,
        // or every wait would end at once and the read would spin until its deadline.
        if (entry.revents & (POLLHUP | POLLERR | POLLNVAL))
            return -1;
        if (entry.revents & POLLIN)
            return 1;
        return -1;
    }
}

long CSerialPort::ReadAvailable(uint8_t* buffer, size_t length) {
    if (!m_fd.IsValid())
        return -1;
    for (;;) {
        const ssize_t n = ::read(m_fd.Get(), buffer, length);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

bool CSerialPort::Read(uint8_t* buffer, size_t length, size_t& got) {
    got = 0;
    if (!m_fd.IsValid())
        return false;
    if (length == 0)
        return true;
    CClock& clock = CClock::Instance();
    const CommTimeouts& t = m_timeouts;
    const uint32_t kMax = 0xFFFFFFFFu;

    // "Return at once with what is there."
    if (t.nReadInterval == kMax && t.nReadMultiplier == 0 && t.nReadConstant == 0) {
        const long n = ReadAvailable(buffer, length);
        if (n < 0)
            return false;
        got = static_cast<size_t>(n);
        return true;
    }
    // "Wait up to the constant for the first byte, then return with what is there."
    const bool firstByteOnly = t.nReadInterval == kMax && t.nReadMultiplier == kMax && t.nReadConstant != 0 &&
                               t.nReadConstant != kMax;

    const uint64_t totalMs =
        firstByteOnly ? t.nReadConstant : static_cast<uint64_t>(t.nReadMultiplier) * length + t.nReadConstant;
    const bool hasTotal = totalMs != 0;
    const auto start = SteadyClock::now();
    const auto totalDeadline = start + clock.TimeoutDuration(totalMs);
    const bool hasInterval = !firstByteOnly && t.nReadInterval != 0 && t.nReadInterval != kMax;
    auto intervalDeadline = SteadyClock::time_point::max();

    while (got < length) {
        const long n = ReadAvailable(buffer + got, length - got);
        if (n < 0)
            return false;
        if (n > 0) {
            got += static_cast<size_t>(n);
            if (firstByteOnly)
                return true;
            if (hasInterval)
                intervalDeadline = SteadyClock::now() + clock.TimeoutDuration(t.nReadInterval);
            continue;
        }
        bool hasDeadline = hasTotal;
        auto deadline = totalDeadline;
        if (hasInterval && got > 0) {
            if (!hasDeadline || intervalDeadline < deadline)
                deadline = intervalDeadline;
            hasDeadline = true;
        }
        const int wait = PollTimeout(hasDeadline, deadline);
        if (hasDeadline && wait == 0)
            return true; // time-out: success with fewer bytes
        if (WaitReadable(wait) < 0) {
            // Bytes that arrived before the hang-up are still delivered; the next pass fails.
            const long last = ReadAvailable(buffer + got, length - got);
            if (last <= 0)
                return false;
            got += static_cast<size_t>(last);
            if (firstByteOnly)
                return true;
        }
    }
    return true;
}

bool CSerialPort::Write(const uint8_t* data, size_t length, size_t& written) {
    written = 0;
    if (!m_fd.IsValid())
        return false;
    const uint64_t totalMs =
        static_cast<uint64_t>(m_timeouts.nWriteMultiplier) * length + m_timeouts.nWriteConstant;
    const bool hasDeadline = totalMs != 0;
    const auto deadline = SteadyClock::now() + CClock::Instance().TimeoutDuration(totalMs);
    while (written < length) {
        const ssize_t n = ::write(m_fd.Get(), data + written, length - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const int wait = PollTimeout(hasDeadline, deadline);
        if (hasDeadline && wait == 0)
            return false;
        struct pollfd entry {
            m_fd.Get(), POLLOUT, 0
        };
        const int ready = ::poll(&entry, 1, wait);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready > 0 && (entry.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return false;
    }
    return true;
}

bool CSerialPort::ClearErrors(uint32_t& errors, CommStatus& status) {
    errors = 0;
    status = CommStatus{};
    if (!m_fd.IsValid())
        return false;
    int inQueue = 0;
    int outQueue = 0;
    if (::ioctl(m_fd.Get(), FIONREAD, &inQueue) == 0)
        status.nInQueue = static_cast<uint32_t>(inQueue);
    if (::ioctl(m_fd.Get(), TIOCOUTQ, &outQueue) == 0)
        status.nOutQueue = static_cast<uint32_t>(outQueue);
    return true;
}

bool CSerialPort::Purge(uint32_t flags) {
    if (!m_fd.IsValid())
        return false;
    const bool rx = flags & (kPurgeRxAbort | kPurgeRxClear);
    const bool tx = flags & (kPurgeTxAbort | kPurgeTxClear);
    if (rx && tx)
        return ::tcflush(m_fd.Get(), TCIOFLUSH) == 0;
    if (rx)
        return ::tcflush(m_fd.Get(), TCIFLUSH) == 0;
    if (tx)
        return ::tcflush(m_fd.Get(), TCOFLUSH) == 0;
    return true;
}

bool CSerialPort::Drain() {
    if (!m_fd.IsValid())
        return false;
    while (::tcdrain(m_fd.Get()) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

#include "sim/SimRzBridge.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>

bool CSimRzBridge::Start(const std::string& folder, std::string& error) {
    Stop();
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error = std::string("cannot create a socket pair: ") + std::strerror(errno);
        return false;
    }
    CUniqueFd ours(ends[0]);
    CUniqueFd theirs(ends[1]);
    ::fcntl(ours.Get(), F_SETFL, ::fcntl(ours.Get(), F_GETFL) | O_NONBLOCK);

    SChildSetup setup;
    setup.in.nFd = theirs.Get();
    setup.out.nFd = theirs.Get();
    setup.err.strPath = "/dev/null";
    setup.strFolder = folder;
    // -b: stored byte for byte whatever the sender asks; -y: a file of the same name is replaced.
    if (const int result = m_rz.Start({"rz", "-q", "-b", "-y"}, setup); result != 0) {
        error = std::string("cannot start rz: ") + std::strerror(result);
        return false;
    }
    m_socket = std::move(ours);
    m_bEof = false;
    m_nExitStatus = -1;
    m_held.clear();
    return true;
}

void CSimRzBridge::Stop() {
    if (m_rz.IsRunning()) {
        m_rz.Kill();
        m_nExitStatus = 128 + SIGKILL;
    }
    m_socket.Reset();
    m_held.clear();
}

void CSimRzBridge::Put(const uint8_t* data, size_t length) {
    if (!m_rz.IsRunning() || m_bEof)
        return;
    m_held.insert(m_held.end(), data, data + length);
    WriteHeld();
}

void CSimRzBridge::WriteHeld() {
    while (!m_held.empty() && !m_bEof) {
        // MSG_NOSIGNAL: an rz that has gone must not take the simulator with it.
        const ssize_t put = ::send(m_socket.Get(), m_held.data(), m_held.size(), MSG_NOSIGNAL);
        if (put > 0) {
            m_held.erase(m_held.begin(), m_held.begin() + put);
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        m_held.clear(); // rz closed its input: what it did not take is lost with it
        return;
    }
}

bool CSimRzBridge::Pump(std::vector<uint8_t>& output) {
    if (!m_rz.IsRunning())
        return true;
    WriteHeld();
    while (!m_bEof) {
        uint8_t buffer[4096];
        const ssize_t got = ::recv(m_socket.Get(), buffer, sizeof(buffer), 0);
        if (got > 0) {
            output.insert(output.end(), buffer, buffer + got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        m_bEof = true;
        m_held.clear();
    }
    const int status = m_rz.WaitFor(std::chrono::milliseconds(0));
    if (status == CChildProcess::kNotEnded)
        return false;
    // Whatever it wrote before it ended is still in the socket.
    for (;;) {
        uint8_t buffer[4096];
        const ssize_t got = ::recv(m_socket.Get(), buffer, sizeof(buffer), 0);
        if (got <= 0)
            break;
        output.insert(output.end(), buffer, buffer + got);
    }
    m_nExitStatus = status;
    m_socket.Reset();
    m_held.clear();
    return true;
}

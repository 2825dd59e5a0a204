#include "sim/SimControlSocket.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

constexpr size_t kMaxClients = 8;
constexpr size_t kMaxLine = 256;

} // namespace

CSimControlSocket::~CSimControlSocket() {
    if (m_listen.IsValid())
        ::unlink(m_strPath.c_str());
}

bool CSimControlSocket::Open(const std::string& path, std::string& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        error = "control socket path empty or too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    CUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.IsValid()) {
        error = std::string("cannot create the control socket: ") + std::strerror(errno);
        return false;
    }
    ::unlink(path.c_str());
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd.Get(), 4) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        return false;
    }
    m_listen = std::move(fd);
    m_strPath = path;
    return true;
}

void CSimControlSocket::AppendPollFds(std::vector<pollfd>& fds) const {
    if (!m_listen.IsValid())
        return;
    fds.push_back(pollfd{m_listen.Get(), POLLIN, 0});
    for (const Client& client : m_clients)
        fds.push_back(pollfd{client.fd.Get(), POLLIN, 0});
}

void CSimControlSocket::Service(const std::vector<pollfd>& fds, size_t first, const LineHandler& handler) {
    if (!m_listen.IsValid() || first >= fds.size())
        return;
    // Clients first (their entries follow the listener's, in m_clients order), then new connections,
    // so that the indexes still match while clients are dropped.
    std::vector<bool> drop(m_clients.size(), false);
    for (size_t i = 0; i < m_clients.size() && first + 1 + i < fds.size(); ++i) {
        if (fds[first + 1 + i].revents == 0)
            continue;
        Client& client = m_clients[i];
        char buffer[256];
        const ssize_t got = ::recv(client.fd.Get(), buffer, sizeof(buffer), 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got <= 0) {
            drop[i] = true;
            continue;
        }
        client.strPending.append(buffer, static_cast<size_t>(got));
        size_t end;
        while ((end = client.strPending.find('\n')) != std::string::npos) {
            std::string line = client.strPending.substr(0, end);
            client.strPending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const std::string reply = handler(line) + '\n';
            // Replies are a line; a client that does not read them is its own problem.
            (void)::send(client.fd.Get(), reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        if (client.strPending.size() > kMaxLine)
            drop[i] = true;
    }
    for (size_t i = m_clients.size(); i-- > 0;) {
        if (drop[i])
            m_clients.erase(m_clients.begin() + static_cast<long>(i));
    }
    if (fds[first].revents != 0) {
        CUniqueFd client(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (client.IsValid() && m_clients.size() < kMaxClients)
            m_clients.push_back(Client{std::move(client), {}});
    }
}

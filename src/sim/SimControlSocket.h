// The simulator's control channel: a UNIX stream socket on which a test sends lines such as "reset" or
// "quit" and gets one reply line for each. The socket file is removed when the object goes.
#pragma once

#include "platform/UniqueFd.h"

#include <functional>
#include <poll.h>
#include <string>
#include <vector>

class CSimControlSocket {
public:
    using LineHandler = std::function<std::string(const std::string& line)>;

    CSimControlSocket() = default;
    ~CSimControlSocket();
    CSimControlSocket(const CSimControlSocket&) = delete;
    CSimControlSocket& operator=(const CSimControlSocket&) = delete;

    // Listens at path (an old socket file there is replaced). False with a message on failure.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return m_listen.IsValid(); }

    // Adds the descriptors to wait on; Service() then gets the same vector and where they start.
    void AppendPollFds(std::vector<pollfd>& fds) const;
    // Accepts clients, reads their lines and answers each with handler's reply.
    void Service(const std::vector<pollfd>& fds, size_t first, const LineHandler& handler);

private:
    struct Client {
        CUniqueFd fd;
        std::string strPending;
    };
    CUniqueFd m_listen;
    std::string m_strPath;
    std::vector<Client> m_clients;
};

// Shared by the simulated flash tests: frames for addresses and data, commands with their answers, a
// temporary folder, the control socket, and running srec_cat without a shell.
#pragma once

#include "SimTestLink.h"
#include "platform/ChildProcess.h"
#include "platform/UniqueFd.h"
#include "support/TempFolder.h"

#include <cstdint>
#include <cstdio>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

inline std::vector<uint8_t> SimFlashAddressFrame(uint32_t address) {
    return SimTestFrame({'M', 'R', ':', static_cast<uint8_t>(address >> 24),
                         static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                         static_cast<uint8_t>(address), ':'});
}

// count bytes that differ from one address to the next, starting from seed.
inline std::vector<uint8_t> SimFlashPattern(size_t count, uint8_t seed) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return bytes;
}

// Sends a frame and returns the one byte that answers it ("" when none came in time).
inline std::string SimFlashSend(CSimTestLink& link, const std::vector<uint8_t>& frame) {
    link.Write(frame);
    return link.Read(1);
}

// Sends a command and returns its answer lines: "OK\n", or "OK\nDONE\n" for the erase commands.
inline std::string SimFlashCommand(CSimTestLink& link, const std::string& command) {
    link.WriteBytewise(command);
    const bool bDone = command.size() == 4 && std::string("0A12B3").find(command[3]) != std::string::npos;
    return link.Read(bDone ? 8 : 3);
}

class CSimFlashTempDir {
public:
    CSimFlashTempDir() {
        std::string pattern = TestTempDir() + "/dxu-sim-flash-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_strPath = pattern;
    }
    ~CSimFlashTempDir() {
        for (const std::string& file : m_files)
            ::unlink(file.c_str());
        ::rmdir(m_strPath.c_str());
    }
    std::string File(const std::string& name) {
        m_files.push_back(m_strPath + "/" + name);
        return m_files.back();
    }

private:
    std::string m_strPath;
    std::vector<std::string> m_files;
};

// One line sent on the simulator's control socket, one line back.
class CSimFlashControl {
public:
    explicit CSimFlashControl(const std::string& path)
        : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        m_bConnected =
            ::connect(m_fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    }
    bool IsConnected() const { return m_bConnected; }
    std::string Ask(const std::string& line) {
        const std::string text = line + "\n";
        if (::send(m_fd.Get(), text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()))
            return "";
        std::string reply;
        char c = 0;
        pollfd pfd{m_fd.Get(), POLLIN, 0};
        while (::poll(&pfd, 1, 5000) > 0 && ::recv(m_fd.Get(), &c, 1, 0) == 1 && c != '\n')
            reply += c;
        return reply;
    }

private:
    CUniqueFd m_fd;
    bool m_bConnected = false;
};

inline std::vector<uint8_t> SimFlashReadFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    uint8_t buffer[4096];
    ssize_t got;
    while (fd.IsValid() && (got = ::read(fd.Get(), buffer, sizeof(buffer))) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    return bytes;
}

// The bytes srec_cat finds in dump between first and first + count, written by it as a binary file into
// dir; empty when srec_cat fails.
inline std::vector<uint8_t> SimFlashSrecWindow(CSimFlashTempDir& dir, const std::string& dump, uint32_t first,
                                               size_t count) {
    static int windows = 0;
    const std::string binary = dir.File("window-" + std::to_string(++windows) + ".bin");
    char from[16], to[24], back[16];
    std::snprintf(from, sizeof from, "0x%X", first);
    std::snprintf(to, sizeof to, "0x%zX", first + count);
    std::snprintf(back, sizeof back, "-0x%X", first);
    if (RunProgram({"srec_cat", dump, "-crop", from, to, "-offset", back, "-o", binary, "-binary"}) != 0)
        return {};
    return SimFlashReadFile(binary);
}

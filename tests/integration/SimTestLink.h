// The program's side of a simulator's pseudo-terminal for the simulator's own tests: plain open, termios,
// read and write, nothing of the program's link code.
#pragma once

#include "platform/UniqueFd.h"
#include "support/WaitUntil.h"

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <vector>

class CSimTestLink {
public:
    explicit CSimTestLink(const std::string& path, speed_t speed = B19200)
        : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        SetSpeed(speed);
    }

    bool IsOpen() const { return m_fd.IsValid(); }
    int Fd() const { return m_fd.Get(); }

    bool SetSpeed(speed_t speed) {
        struct termios settings {};
        if (::tcgetattr(m_fd.Get(), &settings) != 0)
            return false;
        ::cfmakeraw(&settings);
        ::cfsetspeed(&settings, speed);
        // Bytes written at the old speed must be out before the new one applies.
        return ::tcsetattr(m_fd.Get(), TCSADRAIN, &settings) == 0;
    }

    // Writes one byte per write, the way the program sends commands.
    void WriteBytewise(const std::string& text) {
        for (char c : text)
            Write(std::vector<uint8_t>{static_cast<uint8_t>(c)});
    }
    void Write(const std::string& text) { Write(std::vector<uint8_t>(text.begin(), text.end())); }
    void Write(const std::vector<uint8_t>& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(m_fd.Get(), bytes.data() + done, bytes.size() - done);
            if (put > 0) {
                done += static_cast<size_t>(put);
            } else {
                pollfd pfd{m_fd.Get(), POLLOUT, 0};
                if (::poll(&pfd, 1, 1000) <= 0)
                    return;
            }
        }
    }

    // Reads until count bytes came or the real time-out passed.
    std::string Read(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{m_fd.Get(), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                break;
            char buffer[512];
            const ssize_t n = ::read(m_fd.Get(), buffer, std::min(sizeof(buffer), count - got.size()));
            if (n <= 0)
                break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

private:
    CUniqueFd m_fd;
};

// A plain frame: 0x02, length, payload, XOR of everything before the checksum.
inline std::vector<uint8_t> SimTestFrame(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame{0x02, static_cast<uint8_t>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    uint8_t sum = 0;
    for (uint8_t byte : frame)
        sum ^= byte;
    frame.push_back(sum);
    return frame;
}

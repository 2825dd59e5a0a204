// The simulator's exchange trace: one JSON object per line for every element received or sent (time in
// clock milliseconds since start, direction, line speed, bytes in hex, meaning). Safe to call from any
// thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

class CSimTrace {
public:
    CSimTrace() = default;
    CSimTrace(const CSimTrace&) = delete;
    CSimTrace& operator=(const CSimTrace&) = delete;

    // Creates (truncates) the trace file. False when it cannot be written.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }

    // bRx: received from the program; speed: the line speed in baud (0 when the transport has none).
    void Write(uint64_t timeMs, bool bRx, unsigned speed, const uint8_t* data, size_t length,
               const std::string& meaning);

    // The JSON line without its line end, also used by tests of the format.
    static std::string FormatLine(uint64_t timeMs, bool bRx, unsigned speed, const uint8_t* data,
                                  size_t length, const std::string& meaning);

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::mutex m_lock;
    std::unique_ptr<std::FILE, FileCloser> m_file;
};

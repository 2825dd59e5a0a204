// Where image bytes come from and go to: a file (opened read-only or created, closed with the object) or
// memory. The image reader, the analysis pass and the writer work on these interfaces only.
#pragma once

#include "platform/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class IImageByteSource {
public:
    virtual ~IImageByteSource() = default;
    // Up to length bytes: the count read, 0 at the end, -1 when reading failed.
    virtual long Read(uint8_t* buffer, size_t length) = 0;
};

class IImageByteSink {
public:
    virtual ~IImageByteSink() = default;
    // All of the bytes or false.
    virtual bool Write(const uint8_t* data, size_t length) = 0;
};

// An image file opened for reading from its start.
class CImageFileSource : public IImageByteSource {
public:
    // False when the file cannot be opened (errno tells why).
    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd.IsValid(); }
    // The file's length in bytes; 0 when it is not open.
    uint64_t Length() const;
    void Close() { m_fd.Reset(); }
    long Read(uint8_t* buffer, size_t length) override;

private:
    CUniqueFd m_fd;
};

// Bytes in memory; chunk limits how many one Read returns (0: no limit), so that tests can cut the
// stream at every place.
class CImageMemorySource : public IImageByteSource {
public:
    explicit CImageMemorySource(std::vector<uint8_t> bytes, size_t chunk = 0)
        : m_bytes(std::move(bytes)), m_nChunk(chunk) {}
    long Read(uint8_t* buffer, size_t length) override;

private:
    std::vector<uint8_t> m_bytes;
    size_t m_nChunk;
    size_t m_nPos = 0;
};

// An image file created (or truncated) for writing raw bytes; buffered, flushed by Close().
class CImageFileSink : public IImageByteSink {
public:
    ~CImageFileSink() override;
    bool Create(const std::string& path);
    bool IsOpen() const { return m_fd.IsValid(); }
    bool Write(const uint8_t* data, size_t length) override;
    // Writes what is buffered and closes the file; false when any write failed.
    bool Close();

private:
    bool Flush();

    CUniqueFd m_fd;
    std::vector<uint8_t> m_buffer;
    bool m_bFailed = false;
};

class CImageMemorySink : public IImageByteSink {
public:
    bool Write(const uint8_t* data, size_t length) override {
        m_bytes.insert(m_bytes.end(), data, data + length);
        return true;
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

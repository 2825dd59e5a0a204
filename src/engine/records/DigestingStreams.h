// Byte streams that take the SHA-256 of what passes through them, on a thread of their own, so that a
// record can name a file the program reads or writes whole without reading the file a second time.
#pragma once

#include "engine/download/ImageSource.h"
#include "engine/records/Sha256Pipeline.h"

#include <cstdint>
#include <string>

// What a digesting stream has passed on: how many bytes, their digest, and whether a call failed.
class CStreamDigest {
public:
    uint64_t Bytes() const { return m_nBytes; }
    // Once, after the stream's last call; waits for the digest's thread.
    std::string Hex() { return CSha256::Hex(m_sha.Final()); }

protected:
    void Take(const uint8_t* data, size_t length) {
        m_sha.Update(data, length);
        m_nBytes += length;
    }
    bool IsValid() const { return !m_bFailed && m_sha.IsValid(); }

    bool m_bFailed = false;

private:
    CSha256Pipeline m_sha;
    uint64_t m_nBytes = 0;
};

class CDigestingSource : public IImageByteSource, public CStreamDigest {
public:
    explicit CDigestingSource(IImageByteSource& source) : m_source(source) {}
    long Read(uint8_t* buffer, size_t length) override {
        const long got = m_source.Read(buffer, length);
        if (got > 0)
            Take(buffer, static_cast<size_t>(got));
        else if (got == 0)
            m_bEnded = true;
        else
            m_bFailed = true;
        return got;
    }
    // True when every byte up to the end passed through: the digest is then the whole stream's. Ask after
    // Hex.
    bool IsWhole() const { return m_bEnded && IsValid(); }

private:
    IImageByteSource& m_source;
    bool m_bEnded = false;
};

class CDigestingSink : public IImageByteSink, public CStreamDigest {
public:
    explicit CDigestingSink(IImageByteSink& sink) : m_sink(sink) {}
    bool Write(const uint8_t* data, size_t length) override {
        if (!m_sink.Write(data, length)) {
            m_bFailed = true;
            return false;
        }
        Take(data, length);
        return true;
    }
    // True when every write went through; ask after Hex.
    bool IsWhole() const { return IsValid(); }

private:
    IImageByteSink& m_sink;
};

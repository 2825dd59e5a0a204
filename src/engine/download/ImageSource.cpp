#include "engine/download/ImageSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr size_t kSinkBuffer = 64 * 1024;

} // namespace

bool CImageFileSource::Open(const std::string& path) {
    m_fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!m_fd.IsValid())
        return false;
    // A directory opens but does not read; refuse it here like a missing file.
    struct stat info {};
    if (::fstat(m_fd.Get(), &info) != 0 || S_ISDIR(info.st_mode)) {
        m_fd.Reset();
        errno = EISDIR;
        return false;
    }
    return true;
}

uint64_t CImageFileSource::Length() const {
    struct stat info {};
    if (!m_fd.IsValid() || ::fstat(m_fd.Get(), &info) != 0 || info.st_size < 0)
        return 0;
    return static_cast<uint64_t>(info.st_size);
}

long CImageFileSource::Read(uint8_t* buffer, size_t length) {
    if (!m_fd.IsValid())
        return -1;
    for (;;) {
        const ssize_t got = ::read(m_fd.Get(), buffer, length);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno != EINTR)
            return -1;
    }
}

long CImageMemorySource::Read(uint8_t* buffer, size_t length) {
    size_t count = std::min(length, m_bytes.size() - m_nPos);
    if (m_nChunk != 0)
        count = std::min(count, m_nChunk);
    if (count > 0)
        std::memcpy(buffer, m_bytes.data() + m_nPos, count);
    m_nPos += count;
    return static_cast<long>(count);
}

CImageFileSink::~CImageFileSink() {
    Close();
}

bool CImageFileSink::Create(const std::string& path) {
    m_fd.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    m_buffer.clear();
    m_bFailed = false;
    return m_fd.IsValid();
}

bool CImageFileSink::Write(const uint8_t* data, size_t length) {
    if (!m_fd.IsValid() || m_bFailed)
        return false;
    m_buffer.insert(m_buffer.end(), data, data + length);
    return m_buffer.size() < kSinkBuffer || Flush();
}

bool CImageFileSink::Flush() {
    size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t put = ::write(m_fd.Get(), m_buffer.data() + done, m_buffer.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            m_bFailed = true;
            break;
        }
        done += static_cast<size_t>(put);
    }
    m_buffer.clear();
    return !m_bFailed;
}

bool CImageFileSink::Close() {
    if (!m_fd.IsValid())
        return !m_bFailed;
    Flush();
    if (::close(m_fd.Release()) != 0)
        m_bFailed = true;
    return !m_bFailed;
}

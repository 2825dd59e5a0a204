#include "engine/records/ServiceVisit.h"

#include "engine/records/Sha256.h"

#include <sys/stat.h>

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Size and digest of a file as it is now; -1 and no digest when it cannot be read.
void DescribeFile(const std::string& path, int64_t& size, std::string& sha256) {
    struct stat info {};
    sha256.clear();
    size =
        ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : -1;
    if (size >= 0 && !CSha256::HexOfFile(path, sha256))
        size = -1;
}

} // namespace

CServiceVisit::CServiceVisit(ServiceRecord record)
    : m_record(std::move(record)), m_start(std::chrono::steady_clock::now()) {}

void CServiceVisit::NoteCommand(const std::string& command, bool erase) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.commands.push_back(command);
    if (erase)
        m_record.eraseCommands.push_back(command);
}

void CServiceVisit::NoteBytes(uint64_t sent, uint64_t acknowledged) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.nBytesSent += sent;
    m_record.nBytesAcknowledged += acknowledged;
}

void CServiceVisit::NoteText(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.messages.push_back(text);
}

void CServiceVisit::NoteRegions(int regions) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.regions = RegionNames(regions);
}

void CServiceVisit::NoteFile(const std::string& path) {
    int64_t size = -1;
    std::string sha256;
    DescribeFile(path, size, sha256);
    NoteFileDigest(path, size, sha256);
}

void CServiceVisit::NoteFileDigest(const std::string& path, int64_t size, const std::string& sha256) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.strFile = BaseName(path);
    m_record.strFilePath = path;
    m_record.nFileSize = size;
    m_record.strFileSha256 = sha256;
}

void CServiceVisit::NoteOutputFile(const std::string& path) {
    int64_t size = -1;
    std::string sha256;
    DescribeFile(path, size, sha256);
    NoteOutputDigest(path, size, sha256);
}

void CServiceVisit::NoteOutputDigest(const std::string& path, int64_t size, const std::string& sha256) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.strOutputFile = path;
    m_record.nOutputSize = size;
    m_record.strOutputSha256 = sha256;
}

void CServiceVisit::NoteController(const std::string& protocol, const std::string& version) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.strProtocol = protocol;
    m_record.strVersion = version;
}

ServiceRecord CServiceVisit::Finish(int result, bool ok) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.nResult = result;
    m_record.bOk = ok;
    m_record.nDurationMs = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start)
            .count());
    return m_record;
}

// One operation's service record while the operation runs: the program notes commands, bytes and the
// texts shown as they happen (from any thread), and the record is finished with the result.
#pragma once

#include "engine/records/ServiceRecord.h"

#include <chrono>
#include <mutex>
#include <string>

class CServiceVisit {
public:
    // record holds the start's fields (time, who, where); the duration counts from now.
    explicit CServiceVisit(ServiceRecord record);

    void NoteCommand(const std::string& command, bool erase);
    void NoteBytes(uint64_t sent, uint64_t acknowledged);
    void NoteText(const std::string& text);
    void NoteRegions(int regions);
    // The file the operation sent (or converted, or captured into): name, size and SHA-256 as it is now.
    void NoteFile(const std::string& path);
    void NoteOutputFile(const std::string& path);
    // The same from a digest taken while the whole file passed through the program.
    void NoteFileDigest(const std::string& path, int64_t size, const std::string& sha256);
    void NoteOutputDigest(const std::string& path, int64_t size, const std::string& sha256);
    void NoteController(const std::string& protocol, const std::string& version);

    // The finished record.
    ServiceRecord Finish(int result, bool ok);

private:
    std::mutex m_lock;
    ServiceRecord m_record;
    std::chrono::steady_clock::time_point m_start;
};

#include "engine/records/ServiceRecordBook.h"

#include "engine/records/JsonText.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// mkdir -p; false with errno set by the step that failed.
bool MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? path : path.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

} // namespace

std::string CServiceRecordBook::Folder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/dravik/records";
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : ".") + "/.local/share/dravik/records";
}

bool CServiceRecordBook::EnabledByEnvironment() {
    const char* off = std::getenv("DRAVIK_NO_RECORD");
    return off == nullptr || off[0] == '\0' || std::strcmp(off, "0") == 0;
}

bool CServiceRecordBook::IsDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

bool CServiceRecordBook::Append(const ServiceRecord& record, std::string& error) {
    const std::string folder = Folder();
    if (!IsDate(record.Day())) {
        error = "the record has no date";
        return false;
    }
    const std::string path = folder + "/" + record.Day() + ".jsonl";
    if (!MakeFolders(folder)) {
        error = "cannot make the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    CUniqueFd file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!file.IsValid()) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    const std::string line = record.ToJson() + "\n";
    ssize_t put = -1;
    do
        put = ::write(file.Get(), line.data(), line.size());
    while (put < 0 && errno == EINTR);
    if (put != static_cast<ssize_t>(line.size())) {
        error = "cannot write " + path + ": " + (put < 0 ? std::strerror(errno) : "the disk is full");
        return false;
    }
    return true;
}

bool CServiceRecordBook::ReadSince(const std::string& since, std::vector<ServiceRecord>& records,
                                   size_t& skipped, std::string& error) {
    records.clear();
    skipped = 0;
    const std::string folder = Folder();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) {
        if (errno == ENOENT)
            return true;
        error = "cannot read the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> days;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.size() == 16 && name.compare(10, 6, ".jsonl") == 0 && IsDate(name.substr(0, 10)) &&
            name.substr(0, 10) >= since)
            days.push_back(name.substr(0, 10));
    }
    std::sort(days.begin(), days.end());
    for (const std::string& day : days) {
        const std::string path = folder + "/" + day + ".jsonl";
        errno = 0;
        std::ifstream file(path, std::ios::binary);
        std::string line;
        while (std::getline(file, line)) {
            if (line.empty())
                continue;
            CJsonValue value;
            ServiceRecord record;
            if (CJsonValue::Parse(line, value) && ServiceRecord::FromJson(value, record))
                records.push_back(std::move(record));
            else
                ++skipped;
        }
        // A day that cannot be read would silently be missing from the list.
        if (!file.is_open() || file.bad()) {
            const int errorNumber = errno;
            error = "cannot read " + path +
                    (errorNumber != 0 ? std::string(": ") + std::strerror(errorNumber) : "");
            return false;
        }
    }
    return true;
}

// The settings file: four LF-ended lines (port, wizard setting, debug option, link kind). It is written
// through a temporary file beside it and renamed into place, so it is never left truncated; the new file
// keeps the old one's owner, group and mode, and a file whose folder takes no new file is rewritten in
// place.
#include "engine/app/DravikApp.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxLineChars = 254;
constexpr size_t kMaxProgramPath = 259;

// One line as the settings reader takes it: up to LF, at most 254 characters, LF removed. A missing line
// reads as empty.
std::string ReadSettingsLine(std::FILE* file) {
    std::string line;
    while (line.size() < kMaxLineChars) {
        const int c = std::fgetc(file);
        if (c == EOF || c == '\n')
            break;
        line.push_back(static_cast<char>(c));
    }
    return line;
}

// "COM1".."COM9", or a device path, which is stored whole. A path with control characters (a stray
// carriage return from an edited file, say) names no device and would only fail to open later.
bool IsValidPort(const std::string& line) {
    if (line.size() > 1 && line[0] == '/')
        return std::none_of(line.begin(), line.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return line.size() == 4 && line.compare(0, 3, "COM") == 0 && line[3] >= '1' && line[3] <= '9';
}

// The file the settings really live in: a symbolic link is followed so that it stays a link.
std::string SettingsTarget(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && ::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The settings file opened for reading when it is a regular file; null for anything else. A FIFO or
// device in its place must not block start-up: it is looked at before the open, and the open itself
// cannot block.
std::FILE* OpenSettingsForReading(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // Checked again on what was opened: the name may have been replaced in between.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file)
        ::close(fd);
    return file;
}

// Truncates and rewrites the file itself, which keeps its owner, group and mode. Only when no new file
// can take its place: a failure half-way leaves it short.
void RewriteInPlace(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::ftruncate(fd, 0) == 0 && WriteAll(fd, text))
        ::fsync(fd);
    ::close(fd);
}

} // namespace

std::string CDravikApp::SettingsPathFor(const std::string& programPath) {
    const std::string path = programPath.substr(0, kMaxProgramPath);
    const std::string from = ".exe";
    size_t count = 0;
    size_t at = std::string::npos;
    for (size_t pos = path.find(from); pos != std::string::npos; pos = path.find(from, pos + from.size())) {
        ++count;
        at = pos;
    }
    if (count != 1)
        return "Dravik.cfg";
    std::string result = path;
    result.replace(at, from.size(), ".cfg");
    return result;
}

void CDravikApp::LoadSettings() {
    std::FILE* file = OpenSettingsForReading(m_strSettingsPath);
    if (!file) {
        m_strPort = "COM1";
        m_strWizard = "WE";
        return;
    }
    bool rewrite = false;
    const std::string port = ReadSettingsLine(file);
    if (IsValidPort(port)) {
        m_strPort = port;
    } else {
        m_strPort = "COM1";
        rewrite = true;
    }
    const std::string wizard = ReadSettingsLine(file);
    if (wizard == "WE" || wizard == "WD") {
        m_strWizard = wizard;
    } else {
        m_strWizard = "WE";
        rewrite = true;
    }
    const std::string debug = ReadSettingsLine(file);
    if (debug == "DBGE")
        m_bDebug = true;
    else if (debug == "DBGD")
        m_bDebug = false;
    else
        rewrite = true;
    const std::string link = ReadSettingsLine(file);
    m_nLinkKind = link == "useUSB" ? kLinkUsb : kLinkCom;
    std::fclose(file);
    if (rewrite)
        SaveSettings();
}

void CDravikApp::SaveSettings() {
    if (m_bSettingsReadOnly)
        return;
    const bool devicePath = !m_strPort.empty() && m_strPort[0] == '/';
    std::string text = (devicePath ? m_strPort : m_strPort.substr(0, 4)) + "\n";
    text += m_strWizard.substr(0, 2) + "\n";
    text += m_bDebug ? "DBGE\n" : "DBGD\n";
    if (m_nLinkKind == kLinkCom)
        text += "useCOM\n";
    else if (m_nLinkKind == kLinkUsb)
        text += "useUSB\n";

    const std::string target = SettingsTarget(m_strSettingsPath);
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    // A settings file that may not be written stays as it is, silently. A file without any write bit is
    // read-only for everybody, root included (as a read-only file is on the desktop's home platform).
    if (exists &&
        (::access(target.c_str(), W_OK) != 0 || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0))
        return;
    mode_t mode = info.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    // The replacement takes the old file's owner and group as well as its mode. Where that cannot be
    // done, or the folder takes no new file, the file itself is rewritten in place.
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        if (exists)
            RewriteInPlace(target, text);
        return;
    }
    const bool owned = !exists || ((info.st_uid == ::geteuid() && info.st_gid == ::getegid()) ||
                                   ::fchown(fd, info.st_uid, info.st_gid) == 0);
    const bool written = owned && WriteAll(fd, text) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.c_str(), target.c_str()) == 0)
        return;
    ::unlink(temporary.c_str());
    if (exists && !owned)
        RewriteInPlace(target, text);
}

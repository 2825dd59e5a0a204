#include "platform/RegistryFile.h"

#include "platform/PortNames.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Version 5 exports are UTF-16LE with a byte order mark; key and value names we read are ASCII.
std::string ToNarrow(const std::string& raw) {
    if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
        static_cast<unsigned char>(raw[1]) == 0xFE) {
        std::string narrow;
        for (size_t i = 2; i + 1 < raw.size(); i += 2)
            narrow.push_back(raw[i + 1] == 0 ? raw[i] : '?');
        return narrow;
    }
    if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return raw.substr(3);
    return raw;
}

// A quoted string starting at text[pos] == '"', with \\ and \" escapes; pos ends after the closing quote.
bool ReadQuoted(const std::string& text, size_t& pos, std::string& out) {
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < text.size())
            c = text[++pos];
        out.push_back(c);
    }
    return false;
}

std::string HiveAlias(const std::string& folded) {
    // "HKLM\..." is accepted as a short form of the local machine hive.
    if (folded.compare(0, 5, "hklm\\") == 0)
        return "hkey_local_machine\\" + folded.substr(5);
    return folded;
}

} // namespace

std::string RegistryFilePath() {
    const std::string user = DravikConfigFolder() + "/registry.reg";
    if (IsRegularFile(user))
        return user;
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::string list = dirs && *dirs ? dirs : "/etc/xdg";
    std::stringstream folders(list);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty() || folder[0] != '/')
            continue;
        const std::string path = folder + "/dravik/registry.reg";
        if (IsRegularFile(path))
            return path;
    }
    return {};
}

std::string CRegistryFile::Fold(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

bool CRegistryFile::Load(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::stringstream content;
    content << file.rdbuf();
    Parse(ToNarrow(content.str()));
    return true;
}

void CRegistryFile::Parse(const std::string& text) {
    std::stringstream lines(text);
    std::string line;
    std::map<std::string, std::string>* current = nullptr;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // Hex values run over several lines ending in a backslash; none of them is a string value.
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            std::string next;
            if (!std::getline(lines, next))
                break;
            line.pop_back();
            line += next;
        }
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == ';')
            continue;
        if (line[start] == '[') {
            const size_t end = line.rfind(']');
            current = nullptr;
            if (end == std::string::npos || end <= start + 1 || line[start + 1] == '-')
                continue; // malformed, or a deletion entry
            current = &m_keys[HiveAlias(Fold(line.substr(start + 1, end - start - 1)))];
            continue;
        }
        if (!current)
            continue;
        std::string name;
        size_t pos = start;
        if (line[pos] == '@') {
            ++pos;
        } else if (line[pos] != '"' || !ReadQuoted(line, pos, name)) {
            continue;
        }
        if (pos >= line.size() || line[pos] != '=')
            continue;
        ++pos;
        std::string value;
        if (pos < line.size() && line[pos] == '"' && ReadQuoted(line, pos, value))
            (*current)[Fold(name)] = value;
        else
            current->erase(Fold(name)); // dword, hex or deletion: not a string value
    }
}

bool CRegistryFile::HasKey(const std::string& keyPath) const {
    return m_keys.count(HiveAlias(Fold(keyPath))) != 0;
}

bool CRegistryFile::QueryString(const std::string& keyPath, const std::string& valueName,
                                std::string& value) const {
    const auto key = m_keys.find(HiveAlias(Fold(keyPath)));
    if (key == m_keys.end())
        return false;
    const auto found = key->second.find(Fold(valueName));
    if (found == key->second.end())
        return false;
    value = found->second;
    return true;
}

bool CRegistryKey::Open(const std::string& subKey) {
    m_strKey = "HKEY_LOCAL_MACHINE\\" + subKey;
    const std::string path = RegistryFilePath();
    return !path.empty() && m_file.Load(path) && m_file.HasKey(m_strKey);
}

bool CRegistryKey::QueryString(const std::string& valueName, std::string& value) const {
    return m_file.QueryString(m_strKey, valueName, value);
}

// The read-only registry stand-in: a registry export file (REGEDIT4 or version 5 syntax) looked up as
// dravik/registry.reg in the XDG configuration folders, user first. Installers of other tools write their
// keys there, the way they would write them into the registry.
#pragma once

#include <map>
#include <string>

// The registry file in force: $XDG_CONFIG_HOME/dravik/registry.reg (or ~/.config/...) when it exists,
// else the first one found in $XDG_CONFIG_DIRS (default /etc/xdg); empty when there is none.
std::string RegistryFilePath();

// The keys and string values of one export file. Key paths are compared without regard to case, with the
// hive written as in the file ("HKEY_LOCAL_MACHINE\Software\..."); value names likewise.
class CRegistryFile {
public:
    // False when the file cannot be read. Lines that are not understood are skipped.
    bool Load(const std::string& path);
    // Parses export text (tests, and Load).
    void Parse(const std::string& text);

    bool HasKey(const std::string& keyPath) const;
    // A string value; false when the key or the value is missing or the value is not a string.
    bool QueryString(const std::string& keyPath, const std::string& valueName, std::string& value) const;

private:
    static std::string Fold(const std::string& text);

    // folded key path -> (folded value name -> string value); non-string values are stored as absent.
    std::map<std::string, std::map<std::string, std::string>> m_keys;
};

// One key opened for reading, as the registry's open/query/close calls do it.
class CRegistryKey {
public:
    // Opens a key of the local machine hive ("Software\Vendor\Tool") in the registry file in force.
    bool Open(const std::string& subKey);
    bool QueryString(const std::string& valueName, std::string& value) const;

private:
    CRegistryFile m_file;
    std::string m_strKey;
};

// A private record folder for one test: XDG_DATA_HOME points at a fresh temporary folder and recording is
// on (the suites run with DRAVIK_NO_RECORD=1); both are put back, and the folder removed, at the end.
#pragma once

#include "support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

class CRecordFolder {
public:
    CRecordFolder() {
        Save("XDG_DATA_HOME", m_oldDataHome);
        Save("DRAVIK_NO_RECORD", m_oldNoRecord);
        std::string pattern = TestTempDir() + "/dravik-records-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            return; // recording stays off, rather than going to the person's own folder
        m_strHome = pattern;
        ::setenv("XDG_DATA_HOME", m_strHome.c_str(), 1);
        ::unsetenv("DRAVIK_NO_RECORD");
    }
    ~CRecordFolder() {
        Restore("XDG_DATA_HOME", m_oldDataHome);
        Restore("DRAVIK_NO_RECORD", m_oldNoRecord);
        std::error_code ignored;
        if (!m_strHome.empty())
            std::filesystem::remove_all(m_strHome, ignored);
    }
    CRecordFolder(const CRecordFolder&) = delete;
    CRecordFolder& operator=(const CRecordFolder&) = delete;

    // The data home (XDG_DATA_HOME) and the records folder in it.
    const std::string& Home() const { return m_strHome; }
    std::string Records() const { return m_strHome + "/dravik/records"; }

private:
    static void Save(const char* name, std::optional<std::string>& value) {
        if (const char* text = std::getenv(name))
            value = text;
    }
    static void Restore(const char* name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }

    std::string m_strHome;
    std::optional<std::string> m_oldDataHome;
    std::optional<std::string> m_oldNoRecord;
};

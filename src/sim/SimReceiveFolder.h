// The folder the simulated controller stores received files in: the one named by --receive-dir, or a
// private temporary folder made here and removed with everything in it when this object goes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

class CSimReceiveFolder {
public:
    // An empty path makes a temporary folder when bMake; Path() stays empty otherwise or when that fails.
    CSimReceiveFolder(const std::string& path, bool bMake);
    ~CSimReceiveFolder();
    CSimReceiveFolder(const CSimReceiveFolder&) = delete;
    CSimReceiveFolder& operator=(const CSimReceiveFolder&) = delete;

    const std::string& Path() const { return m_strPath; }

    // Size and modification time of each file, by name: compared before and after a transfer to tell
    // which files it stored.
    using Snapshot = std::map<std::string, std::pair<uintmax_t, int64_t>>;
    Snapshot Take() const;
    // The files new or changed since before, comma separated; "nothing" when none.
    std::string ChangedSince(const Snapshot& before) const;

private:
    std::string m_strPath;
    bool m_bOwned = false;
};

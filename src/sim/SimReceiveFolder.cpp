#include "sim/SimReceiveFolder.h"

#include <cstdlib>
#include <filesystem>

CSimReceiveFolder::CSimReceiveFolder(const std::string& path, bool bMake) {
    if (!path.empty()) {
        m_strPath = path;
        return;
    }
    if (!bMake)
        return;
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "dxu-sim-received-XXXXXX").string();
    if (!error && ::mkdtemp(pattern.data()) != nullptr) {
        m_strPath = pattern;
        m_bOwned = true;
    }
}

CSimReceiveFolder::~CSimReceiveFolder() {
    std::error_code error;
    if (m_bOwned)
        std::filesystem::remove_all(m_strPath, error);
}

CSimReceiveFolder::Snapshot CSimReceiveFolder::Take() const {
    Snapshot snapshot;
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_strPath, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError))
            continue;
        const uintmax_t size = it->file_size(entryError);
        const auto changed = it->last_write_time(entryError).time_since_epoch().count();
        snapshot[it->path().filename().string()] = {size, static_cast<int64_t>(changed)};
    }
    return snapshot;
}

std::string CSimReceiveFolder::ChangedSince(const Snapshot& before) const {
    std::string names;
    for (const auto& [name, state] : Take()) {
        const auto old = before.find(name);
        if (old != before.end() && old->second == state)
            continue;
        names += (names.empty() ? "" : ",") + name;
    }
    return names.empty() ? "nothing" : names;
}

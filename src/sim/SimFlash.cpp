#include "sim/SimFlash.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

constexpr uint64_t kAddressSpace = uint64_t{1} << 32;

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

bool CSimFlash::IsErased(uint64_t first, uint64_t end) const {
    // Ranges are merged, so a contiguous span must lie inside one of them.
    auto it = m_erased.upper_bound(first);
    if (it == m_erased.begin())
        return false;
    --it;
    return it->first <= first && end <= it->second;
}

uint64_t CSimFlash::FirstProgrammed(uint64_t first, uint64_t end) const {
    auto it = m_runs.upper_bound(static_cast<uint32_t>(first));
    if (it != m_runs.begin()) {
        const auto before = std::prev(it);
        if (before->first + uint64_t{before->second.size()} > first)
            return first;
    }
    if (it != m_runs.end() && it->first < end)
        return it->first;
    return end;
}

bool CSimFlash::Program(uint32_t address, const uint8_t* data, size_t length, std::string& fault) {
    if (length == 0)
        return true;
    const uint64_t end = uint64_t{address} + length;
    if (end > kAddressSpace) {
        fault = "data at " + Hex(address) + " runs past the end of the address space";
        return false;
    }
    if (!IsErased(address, end)) {
        // Name the first byte that is not erased.
        uint64_t at = address;
        while (at < end && IsErased(at, at + 1))
            ++at;
        fault = Hex(at) + " not erased";
        return false;
    }
    if (const uint64_t at = FirstProgrammed(address, end); at < end) {
        fault = Hex(at) + " already programmed since its erase";
        return false;
    }
    // Append to the run that ends here, or start one; then join the run that starts right behind.
    auto next = m_runs.lower_bound(address);
    std::vector<uint8_t>* run = nullptr;
    if (next != m_runs.begin()) {
        auto before = std::prev(next);
        if (before->first + uint64_t{before->second.size()} == address)
            run = &before->second;
    }
    if (!run)
        run = &m_runs[address];
    run->insert(run->end(), data, data + length);
    if (end < kAddressSpace) {
        auto behind = m_runs.find(static_cast<uint32_t>(end));
        if (behind != m_runs.end()) {
            run->insert(run->end(), behind->second.begin(), behind->second.end());
            m_runs.erase(behind);
        }
    }
    return true;
}

void CSimFlash::Erase(uint32_t first, uint32_t last) {
    const uint64_t begin = first;
    const uint64_t end = uint64_t{last} + 1;
    if (end <= begin)
        return;
    // Programmed runs: cut away what lies inside.
    SimFlashRuns kept;
    for (auto it = m_runs.begin(); it != m_runs.end();) {
        const uint64_t runBegin = it->first;
        const uint64_t runEnd = runBegin + it->second.size();
        if (runEnd <= begin || runBegin >= end) {
            ++it;
            continue;
        }
        if (runBegin < begin)
            kept[it->first].assign(it->second.begin(),
                                   it->second.begin() + static_cast<long>(begin - runBegin));
        if (runEnd > end)
            kept[static_cast<uint32_t>(end)].assign(it->second.begin() + static_cast<long>(end - runBegin),
                                                    it->second.end());
        it = m_runs.erase(it);
    }
    m_runs.merge(kept);
    // Erased ranges: add and merge with the ones it touches.
    uint64_t newBegin = begin;
    uint64_t newEnd = end;
    auto it = m_erased.upper_bound(begin);
    if (it != m_erased.begin() && std::prev(it)->second >= begin)
        --it;
    while (it != m_erased.end() && it->first <= newEnd) {
        newBegin = std::min(newBegin, it->first);
        newEnd = std::max(newEnd, it->second);
        it = m_erased.erase(it);
    }
    m_erased[newBegin] = newEnd;
}

size_t CSimFlash::ProgrammedBytes() const {
    size_t total = 0;
    for (const auto& [address, bytes] : m_runs)
        total += bytes.size();
    return total;
}

void MergeSimFlashRuns(SimFlashRuns& runs, const SimFlashRuns& more) {
    if (more.empty())
        return;
    std::map<uint64_t, uint8_t> bytes;
    const SimFlashRuns* sources[] = {&runs, &more};
    for (const SimFlashRuns* source : sources)
        for (const auto& [start, data] : *source)
            for (size_t i = 0; i < data.size(); ++i)
                bytes[static_cast<uint64_t>(start) + i] = data[i];
    runs.clear();
    uint64_t next = 0;
    std::vector<uint8_t>* current = nullptr;
    for (const auto& [address, byte] : bytes) {
        if (current == nullptr || address != next)
            current = &runs[static_cast<uint32_t>(address)];
        current->push_back(byte);
        next = address + 1;
    }
}

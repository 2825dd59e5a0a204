// The simulated controller's flash memory: programmed bytes kept as contiguous runs, and the address
// ranges erased so far. A byte can be programmed once after its range was erased; programming anything
// else (never erased, or already programmed since its erase) is refused as a whole, so that a test sees
// the fault instead of a silently mixed memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Programmed memory: start address -> the bytes from there on, sorted, no two runs touching.
using SimFlashRuns = std::map<uint32_t, std::vector<uint8_t>>;

// Puts the runs of more into runs (more wins where both hold a byte), keeping runs sorted and merged.
void MergeSimFlashRuns(SimFlashRuns& runs, const SimFlashRuns& more);

class CSimFlash {
public:
    // Programs length bytes at address; false with a reason (nothing programmed then).
    bool Program(uint32_t address, const uint8_t* data, size_t length, std::string& fault);
    // Erases first..last (inclusive): the bytes there are gone and may be programmed again.
    void Erase(uint32_t first, uint32_t last);

    const SimFlashRuns& Runs() const { return m_runs; }
    size_t ProgrammedBytes() const;

private:
    bool IsErased(uint64_t first, uint64_t end) const;
    // The first programmed address in [first, end), or end.
    uint64_t FirstProgrammed(uint64_t first, uint64_t end) const;

    SimFlashRuns m_runs;
    std::map<uint64_t, uint64_t> m_erased; // start -> end (exclusive), merged, sorted
};

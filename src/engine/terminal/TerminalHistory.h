// The terminal's lines, all of them kept (the history is unbounded) but compactly: lines live in blocks
// of 256, and all but the few blocks last used are held zlib-packed. Any line can still be read and
// changed; its block is unpacked on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CTerminalHistory {
public:
    static constexpr size_t kBlockLines = 256;
    static constexpr size_t kOpenBlocks = 4;

    CTerminalHistory() { Reset(); }

    // One empty line, as after a clear.
    void Reset();
    size_t Count() const { return m_nCount; }
    bool Empty() const { return m_nCount == 0; }
    // Grows with empty lines or cuts lines off the end.
    void Resize(size_t count);
    // The line at row (below Count()). The reference holds until another block is touched twice over:
    // use it before reading further lines.
    std::string& At(size_t row);
    const std::string& At(size_t row) const { return const_cast<CTerminalHistory*>(this)->At(row); }
    // Bytes held, for measurements: packed blocks plus the lines of the open ones.
    size_t HeldBytes() const;

private:
    struct SBlock {
        std::vector<std::string> lines; // while open
        std::string packed;             // while packed
        uint32_t nLines = 0;
        bool bOpen = true;
    };

    SBlock& Open(size_t index);
    void Pack(SBlock& block);
    void Unpack(SBlock& block);

    std::vector<SBlock> m_blocks;
    std::vector<size_t> m_open; // open block indices, least recently used first
    size_t m_nCount = 0;
};

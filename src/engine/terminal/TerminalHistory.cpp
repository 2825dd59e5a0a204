#include "engine/terminal/TerminalHistory.h"

#include <algorithm>
#include <zlib.h>

namespace {

void PutLength(std::string& out, size_t length) {
    do {
        out.push_back(static_cast<char>((length & 0x7F) | (length > 0x7F ? 0x80 : 0)));
        length >>= 7;
    } while (length != 0);
}

size_t TakeLength(const std::string& in, size_t& at) {
    size_t length = 0;
    for (int shift = 0; at < in.size(); shift += 7) {
        const auto byte = static_cast<uint8_t>(in[at++]);
        length |= static_cast<size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            break;
    }
    return length;
}

} // namespace

void CTerminalHistory::Reset() {
    m_blocks.clear();
    m_open.clear();
    m_nCount = 0;
    Resize(1);
}

void CTerminalHistory::Resize(size_t count) {
    const size_t blocks = (count + kBlockLines - 1) / kBlockLines;
    if (blocks < m_blocks.size()) {
        m_blocks.resize(blocks);
        m_open.erase(
            std::remove_if(m_open.begin(), m_open.end(), [blocks](size_t index) { return index >= blocks; }),
            m_open.end());
    }
    while (m_blocks.size() < blocks)
        m_blocks.emplace_back();
    // Only the blocks from the old or new end on change their line count.
    const size_t kept = std::min(m_nCount, count);
    for (size_t index = kept == 0 ? 0 : (kept - 1) / kBlockLines; index < blocks; ++index) {
        const size_t lines = std::min(kBlockLines, count - index * kBlockLines);
        if (m_blocks[index].nLines != lines) {
            SBlock& block = Open(index);
            block.lines.resize(lines);
            block.nLines = static_cast<uint32_t>(lines);
        }
    }
    m_nCount = count;
}

std::string& CTerminalHistory::At(size_t row) {
    SBlock& block = Open(row / kBlockLines);
    return block.lines[row % kBlockLines];
}

CTerminalHistory::SBlock& CTerminalHistory::Open(size_t index) {
    SBlock& block = m_blocks[index];
    const auto at = std::find(m_open.begin(), m_open.end(), index);
    if (at != m_open.end()) {
        if (at + 1 != m_open.end()) {
            m_open.erase(at);
            m_open.push_back(index);
        }
        return block;
    }
    if (!block.bOpen)
        Unpack(block);
    m_open.push_back(index);
    if (m_open.size() > kOpenBlocks) {
        Pack(m_blocks[m_open.front()]);
        m_open.erase(m_open.begin());
    }
    return block;
}

void CTerminalHistory::Pack(SBlock& block) {
    std::string plain;
    for (const std::string& line : block.lines) {
        PutLength(plain, line.size());
        plain += line;
    }
    uLongf packedSize = compressBound(static_cast<uLong>(plain.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(plain.data()), static_cast<uLong>(plain.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        return; // memory is short: the block stays open rather than lose lines
    packed.resize(packedSize);
    packed.shrink_to_fit();
    block.packed = std::move(packed);
    block.lines = std::vector<std::string>();
    block.bOpen = false;
}

void CTerminalHistory::Unpack(SBlock& block) {
    // The plain size is not stored: grow the buffer until it holds the whole block.
    std::string plain(std::max<size_t>(block.packed.size() * 8, 4096), '\0');
    for (;;) {
        uLongf plainSize = static_cast<uLongf>(plain.size());
        const int status = uncompress(reinterpret_cast<Bytef*>(plain.data()), &plainSize,
                                      reinterpret_cast<const Bytef*>(block.packed.data()),
                                      static_cast<uLong>(block.packed.size()));
        if (status == Z_BUF_ERROR) {
            plain.resize(plain.size() * 2);
            continue;
        }
        plain.resize(status == Z_OK ? plainSize : 0);
        break;
    }
    block.lines.assign(block.nLines, std::string());
    size_t at = 0;
    for (std::string& line : block.lines) {
        const size_t length = std::min(TakeLength(plain, at), plain.size() - std::min(at, plain.size()));
        line.assign(plain, std::min(at, plain.size()), length);
        at += length;
    }
    block.packed = std::string();
    block.bOpen = true;
}

size_t CTerminalHistory::HeldBytes() const {
    size_t bytes = m_blocks.capacity() * sizeof(SBlock);
    for (const SBlock& block : m_blocks) {
        bytes += block.packed.capacity();
        for (const std::string& line : block.lines)
            bytes += sizeof(std::string) + line.capacity();
    }
    return bytes;
}

#include "engine/zmodem/ZModemUtil.h"

#include "engine/link/SerialHandler.h"

#include <array>

namespace {

constexpr int kCanInARow = 5;
constexpr int kStrayByteBudget = 1000;
constexpr uint32_t kPurgeAll = kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear;
constexpr char kHexDigits[] = "0123456789ABCDEF";

// The seven bytes a line may eat: flow control, ZDLE and DLE, also with the high bit.
constexpr std::array<bool, 256> MakeEscapeTable() {
    std::array<bool, 256> table{};
    for (uint8_t byte : {0x10, 0x11, 0x13, 0x18, 0x90, 0x91, 0x93})
        table[byte] = true;
    return table;
}
constexpr std::array<bool, 256> kNeedsEscape = MakeEscapeTable();

// Copies data into out (room for twice its length), escaping the bytes a line may eat; returns the end of
// what was written. The CRC runs over the unescaped bytes in a pass of its own.
uint8_t* EscapeInto(uint8_t* out, const uint8_t* data, size_t length) {
    for (const uint8_t* end = data + length; data != end; ++data) {
        const uint8_t byte = *data;
        if (kNeedsEscape[byte]) {
            *out++ = ZDLE;
            *out++ = static_cast<uint8_t>(byte ^ 0x40);
        } else {
            *out++ = byte;
        }
    }
    return out;
}

// Upper- and lower-case letters both map to 10..15.
uint8_t HexValue(uint8_t digit) {
    const int value = digit <= '9' ? digit - '0' : digit - '0' - 7;
    return static_cast<uint8_t>(value & 0x0F);
}

} // namespace

CZModemUtil::CZModemUtil() : m_crc32Table(BuildCrc32Table()) {}

CZModemUtil::~CZModemUtil() = default;

void CZModemUtil::Reserve(size_t count) {
    if (m_pending.size() < m_nPending + count)
        m_pending.resize(m_nPending + count);
}

void CZModemUtil::Put(uint8_t byte) {
    Reserve(1);
    m_pending[m_nPending++] = byte;
}

void CZModemUtil::PutEscaped(uint8_t byte) {
    if (kNeedsEscape[byte]) {
        Put(ZDLE);
        Put(static_cast<uint8_t>(byte ^ 0x40));
    } else {
        Put(byte);
    }
}

void CZModemUtil::Flush() {
    // One write for a whole header, subpacket or run of subpackets: the same bytes on the wire, without a
    // system call (or, over USB, an output report) for each of them.
    if (m_nPending == 0)
        return;
    size_t written = 0;
    if (m_pLink == nullptr || !m_pLink->Write(m_pending.data(), m_nPending, written) || written != m_nPending)
        m_bWriteFailed = true;
    m_nPending = 0;
}

void CZModemUtil::SendEscaped(uint8_t byte) {
    PutEscaped(byte);
    Flush();
}

void CZModemUtil::SendString(const char* text) {
    for (; *text != '\0'; ++text)
        Put(static_cast<uint8_t>(*text));
    Flush();
}

void CZModemUtil::SendCancel() {
    for (int i = 0; i < kCanInARow; ++i)
        Put(ZCAN);
    Flush();
}

void CZModemUtil::SendHexHeader(int type, const uint8_t data[4]) {
    m_nCrcMode = kCrcMode16;
    Put(ZPAD);
    Put(ZPAD);
    Put(ZDLE);
    Put(ZHEX);
    uint8_t values[5] = {static_cast<uint8_t>(type), data[0], data[1], data[2], data[3]};
    uint16_t crc = 0;
    auto sendHex = [this](uint8_t value) {
        Put(static_cast<uint8_t>(kHexDigits[value >> 4]));
        Put(static_cast<uint8_t>(kHexDigits[value & 0x0F]));
    };
    for (uint8_t value : values) {
        sendHex(value);
        crc = UpdateCrc16(crc, value);
    }
    sendHex(static_cast<uint8_t>(crc >> 8));
    sendHex(static_cast<uint8_t>(crc & 0xFF));
    Put('\r');
    Put('\n');
    if (type != ZFIN)
        Put(ZXON);
    Flush();
}

void CZModemUtil::SendBinaryHeader(int type, const uint8_t data[4]) {
    m_nCrcMode = m_nUseCrc32 ? kCrcMode32 : kCrcMode16;
    m_nDataCrcMode = m_nCrcMode;
    Put(ZPAD);
    Put(ZPAD);
    Put(ZDLE);
    Put(m_nCrcMode == kCrcMode32 ? ZBIN32 : ZBIN);
    // The type and data bytes are escaped like any other: an offset byte 0x11 or 0x18 sent bare would be
    // eaten by flow control or read as an escape, and the receiver would lose the header.
    const uint8_t values[5] = {static_cast<uint8_t>(type), data[0], data[1], data[2], data[3]};
    if (m_nCrcMode == kCrcMode32) {
        uint32_t crc = 0xFFFFFFFFu;
        for (uint8_t value : values) {
            PutEscaped(value);
            crc = UpdateCrc32(m_crc32Table, crc, value);
        }
        crc = ~crc;
        for (int i = 0; i < 4; ++i)
            PutEscaped(static_cast<uint8_t>(crc >> (8 * i)));
    } else {
        uint16_t crc = 0;
        for (uint8_t value : values) {
            PutEscaped(value);
            crc = UpdateCrc16(crc, value);
        }
        PutEscaped(static_cast<uint8_t>(crc >> 8));
        PutEscaped(static_cast<uint8_t>(crc & 0xFF));
    }
    Flush();
}

void CZModemUtil::AppendDataSubpacket(const uint8_t* data, size_t length, uint8_t frameEnd) {
    // Worst case: every byte escaped, then ZDLE, the frame end and four escaped CRC bytes.
    Reserve(2 * length + 10);
    m_nPending =
        static_cast<size_t>(EscapeInto(m_pending.data() + m_nPending, data, length) - m_pending.data());
    Put(ZDLE);
    Put(frameEnd);
    if (m_nDataCrcMode == kCrcMode32) {
        const uint32_t crc = ~UpdateCrc32(m_crc32Table, UpdateCrc32(0xFFFFFFFFu, data, length), frameEnd);
        for (int i = 0; i < 4; ++i)
            PutEscaped(static_cast<uint8_t>(crc >> (8 * i)));
        return;
    }
    const uint16_t crc = UpdateCrc16(UpdateCrc16(0, data, length), frameEnd);
    PutEscaped(static_cast<uint8_t>(crc >> 8));
    PutEscaped(static_cast<uint8_t>(crc & 0xFF));
}

int CZModemUtil::SendDataSubpacket(const uint8_t* data, size_t length, uint8_t frameEnd) {
    AppendDataSubpacket(data, length, frameEnd);
    Flush();
    return 1;
}

void CZModemUtil::QueueDataSubpacket(const uint8_t* data, size_t length, uint8_t frameEnd) {
    AppendDataSubpacket(data, length, frameEnd);
    if (m_nPending >= m_nGatherBytes)
        Flush();
}

bool CZModemUtil::ReadByte(uint8_t& byte) {
    return m_pLink != nullptr && m_pLink->ReadSome(&byte, 1) == 1;
}

bool CZModemUtil::SkipThrough(uint8_t last) {
    uint8_t byte = 0;
    int budget = kStrayByteBudget;
    do {
        // A line that streams anything but the end byte must not hold the wait forever.
        if (!ReadByte(byte) || --budget < 0)
            return false;
    } while (byte != last);
    return true;
}

int CZModemUtil::HeaderReceived(int type) {
    m_nReceivedType = type;
    if (m_pLink)
        m_pLink->Purge(kPurgeAll);
    return type;
}

int CZModemUtil::GetHeader(uint8_t data[4]) {
    Flush(); // the receiver answers what it has been sent
    m_nReceivedFormat = 0;
    int cans = kCanInARow;
    int budget = kStrayByteBudget;
    for (;;) {
        uint8_t byte = 0;
        if (!ReadByte(byte))
            return -1;
        if (--budget < 0) {
            SendCancel();
            return -1;
        }
        if (byte == ZCAN) {
            if (--cans == 0)
                return -1;
            continue;
        }
        cans = kCanInARow;
        if (byte != ZPAD)
            continue;
        int pads = kStrayByteBudget; // an endless run of pads must end the wait as well
        do {
            if (!ReadByte(byte) || --pads < 0)
                return -1;
        } while (byte == ZPAD);
        if (byte != ZDLE)
            continue;
        uint8_t format = 0;
        if (!ReadByte(format))
            return 0;
        if (format == ZBIN) {
            m_nReceivedFormat = ZBIN;
            return ReceiveBinaryHeader(data);
        }
        if (format == ZHEX) {
            m_nReceivedFormat = ZHEX;
            return ReceiveHexHeader(data);
        }
        if (format == ZCAN)
            cans = kCanInARow - 1;
    }
}

int CZModemUtil::ReceiveBinaryHeader(uint8_t data[4]) {
    m_nCrcMode = kCrcMode16;
    uint8_t bytes[7];
    uint16_t crc = 0;
    for (uint8_t& byte : bytes) {
        if (!ReadByte(byte))
            return -1;
        crc = UpdateCrc16(crc, byte);
    }
    if (crc != 0)
        return -1;
    for (int i = 0; i < 4; ++i)
        data[i] = bytes[1 + i];
    return HeaderReceived(bytes[0]);
}

int CZModemUtil::ReceiveHexHeader(uint8_t data[4]) {
    m_nCrcMode = kCrcMode16;
    uint8_t bytes[7];
    uint16_t crc = 0;
    for (uint8_t& byte : bytes) {
        uint8_t pair[2];
        if (m_pLink == nullptr || m_pLink->ReadSome(pair, 2) != 2)
            return -1;
        byte = static_cast<uint8_t>((HexValue(pair[0]) << 4) | HexValue(pair[1]));
        crc = UpdateCrc16(crc, byte);
    }
    if (crc != 0)
        return -1;
    if (!SkipThrough('\r'))
        return -1;
    const int type = bytes[0];
    if (type != ZACK && type != ZFIN && !SkipThrough(ZXON))
        return -1;
    for (int i = 0; i < 4; ++i)
        data[i] = bytes[1 + i];
    return HeaderReceived(type);
}

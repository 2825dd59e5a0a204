// The ZModem frame engine of the sending side: hex and binary headers, data subpackets with ZDLE
// escaping and CRC-16 or CRC-32, and the reception of the receiver's headers. Frames are built in one
// buffer and written through the controller link whole; streamed subpackets are gathered into larger
// writes.
#pragma once

#include "engine/zmodem/ZModemCrc.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CSerialHandler;

// Protocol bytes.
constexpr uint8_t ZPAD = '*';
constexpr uint8_t ZDLE = 0x18;
constexpr uint8_t ZCAN = 0x18;
constexpr uint8_t ZBIN = 'A';
constexpr uint8_t ZHEX = 'B';
constexpr uint8_t ZBIN32 = 'C';
constexpr uint8_t ZCRCE = 'h';
constexpr uint8_t ZCRCG = 'i';
constexpr uint8_t ZCRCW = 'k';
constexpr uint8_t ZXON = 0x11;

// Frame types this sender sends or understands.
constexpr int ZRQINIT = 0;
constexpr int ZRINIT = 1;
constexpr int ZACK = 3;
constexpr int ZFILE = 4;
constexpr int ZSKIP = 5;
constexpr int ZNAK = 6;
constexpr int ZFIN = 8;
constexpr int ZRPOS = 9;
constexpr int ZDATA = 10;
constexpr int ZEOF = 11;
constexpr int ZCHALLENGE = 14;
constexpr int ZCOMMAND = 18;

// CRC kinds.
constexpr int kCrcMode16 = 1;
constexpr int kCrcMode32 = 2;

class CZModemUtil {
public:
    CZModemUtil();
    virtual ~CZModemUtil();
    CZModemUtil(const CZModemUtil&) = delete;
    CZModemUtil& operator=(const CZModemUtil&) = delete;

    void SetLink(CSerialHandler* link) { m_pLink = link; }

    // One byte, escaped when it is one of the seven bytes a line may eat (no CRC update).
    void SendEscaped(uint8_t byte);
    // A header in hex form, always CRC-16.
    void SendHexHeader(int type, const uint8_t data[4]);
    // A header in binary form: 'C' (CRC-32) when UseCrc32, else 'A' (CRC-16).
    void SendBinaryHeader(int type, const uint8_t data[4]);
    // A data subpacket with the CRC kind of the binary header that opened its frame; returns 1.
    int SendDataSubpacket(const uint8_t* data, size_t length, uint8_t frameEnd);
    // The same subpacket, held back until the gather size is reached, so a stream of subpackets leaves in
    // few larger writes (full USB reports, fewer wake-ups of the receiver). Anything else sent, GetHeader
    // and Flush write what is held first.
    void QueueDataSubpacket(const uint8_t* data, size_t length, uint8_t frameEnd);
    // Writes what is held.
    void Flush();
    // Whether bytes are built but not yet written.
    bool HoldsBytes() const { return m_nPending != 0; }
    // One header from the receiver: its frame type with the four data bytes filled in; -1 on failure;
    // 0 also when the format byte did not come.
    int GetHeader(uint8_t data[4]);
    // A NUL-terminated string, unescaped.
    void SendString(const char* text);
    // Five CAN bytes, unescaped.
    void SendCancel();

    // Whether any write since the last reset failed (the link is gone or the receiver stopped taking
    // bytes); the transfer gives up on it instead of writing into nothing.
    bool WriteFailed() const { return m_bWriteFailed; }
    void ResetWriteFailed() { m_bWriteFailed = false; }

    int ReceivedType() const { return m_nReceivedType; }
    int ReceivedFormat() const { return m_nReceivedFormat; }
    const Crc32Table& Crc32() const { return m_crc32Table; }

    // How many bytes of streamed subpackets make one write. Over USB every write ends in a part-filled
    // report, so larger is better there; a port's receiver keeps pace best with a couple of subpackets
    // per write, while the next ones are built.
    static constexpr size_t kUsbGatherBytes = 8192;
    static constexpr size_t kPortGatherBytes = 2048;
    void SetGatherBytes(size_t bytes) { m_nGatherBytes = bytes; }

    int m_nUseCrc32 = 1; // UseCrc32
    int m_nCrcMode = kCrcMode16;

private:
    // Bytes are gathered and written once per header, subpacket or string (or run of subpackets).
    void Reserve(size_t count);
    void Put(uint8_t byte);
    void PutEscaped(uint8_t byte);
    void AppendDataSubpacket(const uint8_t* data, size_t length, uint8_t frameEnd);
    // One byte from the link; false when none came.
    bool ReadByte(uint8_t& byte);
    int ReceiveBinaryHeader(uint8_t data[4]);
    int ReceiveHexHeader(uint8_t data[4]);
    // Skips bytes up to and including the given one; false when the link delivers nothing.
    bool SkipThrough(uint8_t last);
    int HeaderReceived(int type);

    CSerialHandler* m_pLink = nullptr;
    Crc32Table m_crc32Table;
    int m_nDataCrcMode = kCrcMode16; // kind of the frame the next subpacket belongs to
    int m_nReceivedType = 0;
    int m_nReceivedFormat = 0;
    bool m_bWriteFailed = false;
    std::vector<uint8_t> m_pending; // room for the bytes held; the first m_nPending are in use
    size_t m_nPending = 0;
    size_t m_nGatherBytes = kUsbGatherBytes;
};

#include "engine/download/SrecConverter.h"

#include <array>
#include <cstdio>

namespace {

// Address bytes of each record type; 0 for a type that has no meaning here (4 and any non-digit).
size_t AddressBytesOf(int type) {
    switch (type) {
    case '0':
    case '1':
    case '5':
    case '9':
        return 2;
    case '2':
    case '6':
    case '8':
        return 3;
    case '3':
    case '7':
        return 4;
    default:
        return 0;
    }
}

// Value of each character as a hex digit; -1 for anything else (so two values or'ed are negative when
// either is not a digit).
constexpr std::array<int8_t, 256> MakeHexTable() {
    std::array<int8_t, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = -1;
    for (int c = 0; c < 10; ++c)
        table['0' + c] = static_cast<int8_t>(c);
    for (int c = 0; c < 6; ++c) {
        table['A' + c] = static_cast<int8_t>(10 + c);
        table['a' + c] = static_cast<int8_t>(10 + c);
    }
    return table;
}
constexpr std::array<int8_t, 256> kHexValue = MakeHexTable();

int HexValue(int c) {
    return c < 0 ? -1 : kHexValue[static_cast<uint8_t>(c)];
}

// Decodes count bytes from twice as many hex digits; false at the first character that is no digit.
bool DecodeHex(const uint8_t* text, uint8_t* bytes, size_t count) {
    int bad = 0;
    for (size_t i = 0; i < count; ++i) {
        const int high = kHexValue[text[2 * i]];
        const int low = kHexValue[text[2 * i + 1]];
        bad |= high | low;
        bytes[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return bad >= 0;
}

// Line ends, blanks and the old end-of-file mark may stand between records.
bool IsSeparator(int c) {
    return c == '\n' || c == '\r' || c == ' ' || c == '\t' || c == 0x1A;
}

} // namespace

int CSrecConverter::Peek() {
    if (m_nPos == m_nEnd) {
        if (m_bInputEnded)
            return m_bInputFailed ? kReadError : kEnd;
        const long got = m_input.Read(m_buffer, sizeof(m_buffer));
        if (got <= 0) {
            m_bInputEnded = true;
            m_bInputFailed = got < 0;
            return m_bInputFailed ? kReadError : kEnd;
        }
        m_nPos = 0;
        m_nEnd = static_cast<size_t>(got);
    }
    return m_buffer[m_nPos];
}

int CSrecConverter::Next() {
    const int c = Peek();
    if (c < 0)
        return c;
    ++m_nPos;
    ++m_nSinceStep;
    if (c == '\n')
        ++m_nLine;
    return c;
}

bool CSrecConverter::ReadHexByte(uint8_t& value) {
    const int high = HexValue(Next());
    if (high < 0)
        return false;
    const int low = HexValue(Next());
    if (low < 0)
        return false;
    value = static_cast<uint8_t>(high << 4 | low);
    return true;
}

CSrecConverter::EResult CSrecConverter::Fail(EResult result, const char* format) {
    if (result == EResult::ReadFailed) {
        m_strError = "Cannot read the input file.";
    } else {
        char text[160];
        std::snprintf(text, sizeof(text), format, m_nRecordLine);
        m_strError = text;
    }
    return result;
}

CSrecConverter::EResult CSrecConverter::Convert(const std::function<void()>& stepProgress) {
    m_strError.clear();
    const int first = Next();
    if (first == kReadError)
        return Fail(EResult::ReadFailed, nullptr);
    if (first == kEnd)
        return EResult::Ok;
    if (first != 'S') {
        m_strError = "Unknown file format.";
        return EResult::UnknownFormat;
    }
    m_nSinceStep = 2;
    for (;;) {
        if (m_nSinceStep > kProgressChars) {
            if (stepProgress)
                stepProgress();
            m_nSinceStep = 0;
        }
        m_nRecordLine = m_nLine;
        EResult result = ReadRecord();
        if (result != EResult::Ok)
            return result;
        bool ended = false;
        result = SkipToNextRecord(ended);
        if (result != EResult::Ok || ended)
            return result;
    }
}

// Reads one record after its "S" and acts on it.
CSrecConverter::EResult CSrecConverter::ReadRecord() {
    constexpr const char* kBadRecord = "Line %u of the input file is not a valid S-record.";
    const int type = Next();
    if (type == kReadError)
        return Fail(EResult::ReadFailed, nullptr);
    const size_t addressBytes = AddressBytesOf(type);
    if (addressBytes == 0)
        return Fail(EResult::BadRecord, kBadRecord);

    uint8_t count = 0;
    if (!ReadHexByte(count))
        return Fail(m_bInputFailed ? EResult::ReadFailed : EResult::BadRecord, kBadRecord);
    if (count < addressBytes + 1)
        return Fail(EResult::BadRecord, kBadRecord);
    const size_t digits = 2 * size_t{count};
    if (m_nEnd - m_nPos >= digits) {
        // The whole record is in the buffer (the usual case): decode it there. Hex digits hold no line end.
        if (!DecodeHex(m_buffer + m_nPos, m_record, count))
            return Fail(EResult::BadRecord, kBadRecord);
        m_nPos += digits;
        m_nSinceStep += static_cast<uint32_t>(digits);
    } else {
        for (size_t i = 0; i < count; ++i) {
            if (!ReadHexByte(m_record[i]))
                return Fail(m_bInputFailed ? EResult::ReadFailed : EResult::BadRecord, kBadRecord);
        }
    }
    unsigned sum = count;
    for (size_t i = 0; i < count; ++i)
        sum += m_record[i];
    // The checksum is the ones' complement of the sum of the count, address and data bytes.
    if ((sum & 0xFF) != 0xFF)
        return Fail(EResult::BadChecksum, "Checksum error in line %u of the input file.");

    uint32_t address = 0;
    for (size_t i = 0; i < addressBytes; ++i)
        address = address << 8 | m_record[i];
    const size_t dataBytes = count - addressBytes - 1;

    switch (type) {
    case '1':
    case '2':
    case '3': {
        if (uint64_t{address} + dataBytes > uint64_t{1} << 32)
            return Fail(EResult::BadRecord, kBadRecord); // data past the top of the address space
        switch (m_writer.Put(address, m_record + addressBytes, dataBytes)) {
        case CImageWriter::EResult::Ok:
            break;
        case CImageWriter::EResult::LowerAddress:
            m_strError = m_writer.ErrorText();
            return EResult::LowerAddress;
        case CImageWriter::EResult::MarkerInData:
            m_strError = m_writer.ErrorText();
            return EResult::MarkerInData;
        case CImageWriter::EResult::WriteFailed:
            m_strError = m_writer.ErrorText();
            return EResult::WriteFailed;
        }
        ++m_nDataRecords;
        m_nDataBytes += dataBytes;
        return EResult::Ok;
    }
    case '5':
    case '6':
        // A record count that does not match means lines were lost or added on the way.
        if (address != m_nDataRecords) {
            char text[192];
            std::snprintf(text, sizeof(text),
                          "The record count in line %u of the input file (%u) does not match the %u data "
                          "records before it.",
                          m_nRecordLine, address, m_nDataRecords);
            m_strError = text;
            return EResult::BadCount;
        }
        return EResult::Ok;
    default:
        return EResult::Ok; // header and termination records
    }
}

// Passes line ends and blanks up to the next "S"; ended at the end of the input.
CSrecConverter::EResult CSrecConverter::SkipToNextRecord(bool& ended) {
    for (;;) {
        const int c = Next();
        if (c == 'S')
            return EResult::Ok;
        if (c == kEnd) {
            ended = true;
            return EResult::Ok;
        }
        if (c == kReadError)
            return Fail(EResult::ReadFailed, nullptr);
        if (!IsSeparator(c)) {
            m_nRecordLine = m_nLine;
            return Fail(EResult::BadRecord, "Line %u of the input file is not a valid S-record.");
        }
    }
}

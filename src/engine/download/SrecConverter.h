// Turns S-record text into a software image: the data of S1, S2 and S3 records goes through the image
// writer's layout rules in file order. Every record is checked before its data is used (hex digits, its
// length against its byte count, its checksum, and the data record count of an S5 or S6 record); header
// and termination records carry nothing for the image. Stops at the first fault with a text for the
// person; what was written up to then stays written.
#pragma once

#include "engine/download/ImageSource.h"
#include "engine/download/ImageWriter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class CSrecConverter {
public:
    enum class EResult {
        Ok,
        UnknownFormat, // the input does not start with "S"
        BadRecord,     // a record that cannot be read, or other text between records
        BadChecksum,   // a record whose checksum does not match its bytes
        BadCount,      // an S5 or S6 record that does not count the data records before it
        LowerAddress,  // data below the next free address of the image
        MarkerInData,  // data that would hold the image's record marker
        ReadFailed,
        WriteFailed,
    };

    // The progress callback runs at the start of a record once more than this many characters have been
    // read since it last ran.
    static constexpr uint32_t kProgressChars = 10000;

    CSrecConverter(IImageByteSource& input, IImageByteSink& output) : m_input(input), m_writer(output) {}
    CSrecConverter(const CSrecConverter&) = delete;
    CSrecConverter& operator=(const CSrecConverter&) = delete;

    // Converts up to the end of the input or the first fault.
    EResult Convert(const std::function<void()>& stepProgress = {});

    // Why the conversion stopped, as the message shown to the person; empty after Ok.
    const std::string& ErrorText() const { return m_strError; }
    // Data records converted and their data bytes.
    uint32_t DataRecords() const { return m_nDataRecords; }
    uint64_t DataBytes() const { return m_nDataBytes; }

private:
    static constexpr int kEnd = -1;
    static constexpr int kReadError = -2;

    // The next character (0..255), kEnd or kReadError.
    int Next();
    int Peek();
    // Two hex digits as a byte; false when either is missing or not a hex digit.
    bool ReadHexByte(uint8_t& value);
    EResult ReadRecord();
    EResult SkipToNextRecord(bool& ended);
    EResult Fail(EResult result, const char* format);

    IImageByteSource& m_input;
    CImageWriter m_writer;
    uint8_t m_buffer[64 * 1024];
    size_t m_nPos = 0;
    size_t m_nEnd = 0;
    bool m_bInputEnded = false;
    bool m_bInputFailed = false;
    uint32_t m_nLine = 1;       // line of the next character
    uint32_t m_nRecordLine = 1; // line of the record being read
    uint32_t m_nSinceStep = 0;  // characters read since the progress callback last ran
    uint8_t m_record[256] = {}; // the bytes after the byte count: address, data, checksum
    uint32_t m_nDataRecords = 0;
    uint64_t m_nDataBytes = 0;
    std::string m_strError;
};

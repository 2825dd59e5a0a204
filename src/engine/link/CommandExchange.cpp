// The controller's command exchange on top of the link's blocking transfer: commands and answer lines,
// marker bytes, acknowledged data frames and the two state probes.
#include "engine/app/MessageTexts.h"
#include "engine/link/ControllerCommands.h"
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"

#include <chrono>
#include <cstring>
#include <vector>

namespace {

constexpr uint8_t kFrameStart = 0x02;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kLineFeed = 0x0A;
constexpr size_t kMaxAnswerChars = 10;
constexpr uint32_t kDoneTimeout = 40000;
constexpr uint32_t kProbeTimeout = 1000;
constexpr int kMrBlockAttempts = 4;
constexpr int kEscapeCAttempts = 5;

uint8_t Checksum(const std::vector<uint8_t>& frame) {
    uint8_t sum = 0;
    for (uint8_t byte : frame)
        sum ^= byte;
    return sum;
}

bool IsVersionReply(uint8_t first) {
    return first == 'V' || first == 'T' || first == 'P';
}
bool IsProtocolReply(uint8_t first) {
    return first == 'P';
}

} // namespace

char CSerialHandler::CommandLetter(int code) {
    const ControllerCommand* command = FindControllerCommand(code);
    return command ? command->cLetter : 0;
}

bool CSerialHandler::CommandAwaitsDone(int code) {
    const ControllerCommand* command = FindControllerCommand(code);
    return command && command->bAwaitsDone;
}

int CSerialHandler::ReadAnswer() {
    char text[kMaxAnswerChars + 1] = {};
    size_t collected = 0;
    for (;;) {
        uint8_t byte = 0;
        size_t got = 0;
        if (!Read(&byte, 1, got)) {
            ShowMessage(kComPortReadFailed);
            return kAnswerNothing;
        }
        if (got == 0)
            return kAnswerNothing;
        if (byte == kLineFeed) {
            text[collected] = '\0';
            if (std::strcmp(text, "ERROR") == 0)
                return kAnswerError;
            if (std::strcmp(text, "OK") == 0)
                return kAnswerOk;
            if (std::strcmp(text, "DONE") == 0)
                return kAnswerDone;
            return kAnswerOther;
        }
        // A NUL byte can never match an answer; keep it out of the comparison text.
        text[collected++] = byte == 0 ? '\x01' : static_cast<char>(byte);
        if (collected == kMaxAnswerChars)
            return kAnswerOther;
    }
}

bool CSerialHandler::SendCommand(int code) {
    const ControllerCommand* row = FindControllerCommand(code);
    if (!row)
        return false;
    const uint8_t command[4] = {'+', '+', '+', static_cast<uint8_t>(row->cLetter)};
    const bool raised = row->bRaisesTimeout;
    if (raised)
        SetReadTimeout(kDoneTimeout);

    const char* failure = nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (uint8_t byte : command)
            WriteByte(byte);
        const int answer = ReadAnswer();
        if (answer == kAnswerOk || answer == kAnswerDone) {
            if (!row->bAwaitsDone || ReadAnswer() == kAnswerDone) {
                failure = nullptr;
                break;
            }
            failure = "Slave failed to complete operation.";
        } else if (answer == kAnswerError) {
            failure = "Slave responded with ERROR.";
        } else {
            failure = "Slave failed to respond.";
        }
        if (HasFailed())
            break; // a line that hung up answers no second attempt
    }
    m_context.NoteLinkCommand(code, failure == nullptr);
    if (failure)
        ShowMessage(failure);
    if (raised)
        SetReadTimeout(kDefaultReadTimeout);
    return failure == nullptr;
}

bool CSerialHandler::WaitForByte(uint8_t awaited) {
    // Other bytes do not prolong the wait beyond one read time-out. A real deadline, so that a raised
    // clock speed does not cut it shorter than any other time-out.
    const auto deadline =
        std::chrono::steady_clock::now() + CClock::Instance().TimeoutDuration(ReadTimeout());
    for (;;) {
        uint8_t byte = 0;
        size_t got = 0;
        if (!Read(&byte, 1, got)) {
            const int kind = m_context.m_nLinkKind;
            ShowMessage(kind == kLinkCom   ? kComPortReadFailed
                        : kind == kLinkUsb ? kUsbReadFailed
                                           : "Error reading undifined link.");
            return false;
        }
        if (got == 0)
            return false;
        if (byte == awaited)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
    }
}

bool CSerialHandler::SendAndAwaitAck(const uint8_t* data, size_t length, uint8_t expected) {
    size_t written = 0;
    Write(data, length, written);
    uint8_t reply = 0;
    size_t got = 0;
    if (!Read(&reply, 1, got) || got != 1)
        return false;
    return reply == expected;
}

bool CSerialHandler::SendBlock(const uint8_t* data, size_t length) {
    if (length < 1 || length > 255)
        return false;
    std::vector<uint8_t> frame;
    frame.reserve(length + 3);
    frame.push_back(kFrameStart);
    frame.push_back(static_cast<uint8_t>(length));
    frame.insert(frame.end(), data, data + length);
    frame.push_back(Checksum(frame));
    const bool acknowledged = SendAndAwaitAck(frame.data(), frame.size(), kAck);
    m_context.NoteLinkBytes(length, acknowledged ? length : 0);
    return acknowledged;
}

bool CSerialHandler::SendMRBlock(const uint8_t* data, size_t length) {
    if (length > 251)
        return false;
    std::vector<uint8_t> frame;
    frame.reserve(length + 7);
    frame.push_back(kFrameStart);
    frame.push_back(static_cast<uint8_t>(length + 4));
    frame.insert(frame.end(), {'M', 'R', ':'});
    if (length > 0)
        frame.insert(frame.end(), data, data + length);
    frame.push_back(':');
    frame.push_back(Checksum(frame));
    for (int attempt = 0; attempt < kMrBlockAttempts; ++attempt) {
        if (SendAndAwaitAck(frame.data(), frame.size(), kAck))
            return true;
    }
    return false;
}

bool CSerialHandler::Probe(const char* probe, int attempts, bool (*accept)(uint8_t), char reply[5]) {
    SetReadTimeout(kProbeTimeout);
    uint8_t buffer[5] = {};
    bool success = false;
    for (int attempt = 0; attempt < attempts && !success; ++attempt) {
        for (int i = 0; i < 4; ++i)
            WriteByte(static_cast<uint8_t>(probe[i]));
        size_t got = 0;
        Read(buffer, sizeof buffer, got);
        success = got > 0 && accept(buffer[0]);
    }
    std::memcpy(reply, buffer, 4);
    reply[4] = '\0';
    SetReadTimeout(kDefaultReadTimeout);
    return success;
}

bool CSerialHandler::EscapeC(char reply[5]) {
    return Probe("+++C", kEscapeCAttempts, IsVersionReply, reply);
}

bool CSerialHandler::EscapeD(char reply[5], int count) {
    return Probe("+++D", count > 0 ? count + 1 : 1, IsProtocolReply, reply);
}

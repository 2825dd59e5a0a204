// The one link to the controller: every command, data block and terminal byte passes through it, over a
// COM port or the USB HID device. The transport is chosen on every call from the application's link kind
// and USB presence. Above the bytes it carries the controller's command exchange: commands and their
// answers, the probes, marker bytes and acknowledged data frames.
#pragma once

#include "engine/link/ControllerCommands.h"
#include "platform/SerialPort.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CLinkContext;
class CUsbHidDevice;

// Answer codes of ReadAnswer.
constexpr int kAnswerOk = 0;
constexpr int kAnswerDone = 2;
constexpr int kAnswerError = 3;
constexpr int kAnswerOther = 4;
constexpr int kAnswerNothing = 5;

constexpr const char* kSettingNormal = "19200,n,8,1";
constexpr const char* kSettingFast = "38400,n,8,1";
constexpr uint32_t kDefaultReadTimeout = 20000;

class CSerialHandler {
public:
    // Result codes of the COM constructor.
    static constexpr int kOpenOk = 0;
    static constexpr int kOpenBadSetting = 1;
    static constexpr int kOpenFailed = 2;
    static constexpr int kOpenConfigFailed = 3;

    // A COM link on the named port; result receives one of the codes above.
    CSerialHandler(CLinkContext& context, const std::string& portName, const std::string& setting,
                   int& result, bool overlapped);
    // A link on the application's USB device (which the application opened).
    CSerialHandler(CLinkContext& context, CUsbHidDevice* usbDevice);
    virtual ~CSerialHandler();
    CSerialHandler(const CSerialHandler&) = delete;
    // Why the COM constructor did not open the port (its result code not 0): the lines that follow
    // "Error opening specified COM port.".
    std::vector<std::string> OpenFailureReason(const std::string& portName) const;
    CSerialHandler& operator=(const CSerialHandler&) = delete;

    // Blocking transfer.
    bool Write(const uint8_t* data, size_t length, size_t& written);
    bool Read(uint8_t* buffer, size_t length, size_t& got);
    bool WriteByte(uint8_t byte);
    int ReadSome(uint8_t* buffer, size_t length);

    // Time-outs and housekeeping.
    bool SetReadTimeout(uint32_t milliseconds);
    bool SetTimeouts(uint32_t readInterval, uint32_t readMultiplier, uint32_t readConstant,
                     uint32_t writeMultiplier, uint32_t writeConstant);
    bool ClearErrors(uint32_t& errors, CommStatus& status);
    bool Purge(uint32_t flags);
    bool ChangeSetting(const std::string& setting);
    // The read time-out now in force on the path in use (COM: the read constant; USB: its own).
    uint32_t ReadTimeout() const;

    // Terminal mode on a COM port opened overlapped.
    unsigned PollReceive();
    const uint8_t* ReceiveBuffer() const { return m_receiveBuffer; }
    bool PostByte(uint8_t byte);
    bool PostBytes(const uint8_t* data, size_t length);
    // The port hung up or failed under a read or terminal mode's send (it stays failed), or the USB
    // device in use was removed.
    bool HasFailed() const;
    // Typed bytes waiting for the port to take them.
    size_t PendingSendBytes() const { return m_pendingSend.size(); }
    // The port's descriptor, for readiness notification; -1 on USB.
    int Descriptor() const { return m_port.Descriptor(); }

    // Command exchange.
    int ReadAnswer();
    // A command of the controller's table (EControllerCommand); an unknown code sends nothing.
    bool SendCommand(int code);
    bool WaitForByte(uint8_t byte);
    bool SendAndAwaitAck(const uint8_t* data, size_t length, uint8_t expected);
    bool SendBlock(const uint8_t* data, size_t length);
    bool SendMRBlock(const uint8_t* data, size_t length);
    bool EscapeC(char reply[5]);
    bool EscapeD(char reply[5], int count);

    // The letter that completes "+++" for a command code; 0 for an unknown code.
    static char CommandLetter(int code);
    static bool CommandAwaitsDone(int code);

    CLinkContext& Context() const { return m_context; }

private:
    bool UsesUsbPath() const;
    bool HasPort() const { return m_port.IsOpen(); }
    void ShowMessage(const char* text) const;
    bool Probe(const char* probe, int attempts, bool (*accept)(uint8_t), char reply[5]);
    void FlushPendingSends();

    CLinkContext& m_context;
    bool m_bOverlapped = false;
    uint8_t m_receiveBuffer[128] = {};
    bool m_bReadPending = false;
    bool m_bFailed = false;
    std::string m_pendingSend; // typed bytes not yet accepted by the port, up to a bound
    CSerialPort m_port;
    std::string m_strDevice; // the device path the port name resolved to
    int m_nOpenResult = kOpenOk;
    int m_nOpenError = 0; // errno of the failed step
    CUsbHidDevice* m_pUsbDevice = nullptr;
    uint32_t m_nUsbReadTimeout = 0;
};

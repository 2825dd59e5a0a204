// Terminal mode: the PC as a plain terminal on the controller's console, and on top of it the capture of
// the controller's diagnostic dumps into text files.
#include "engine/app/DravikApp.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/UserInterface.h"
#include "engine/link/SerialHandler.h"
#include "engine/records/ServiceVisit.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr uint8_t kEscape = 0x1B;
constexpr uint8_t kReturn = 0x0D;
constexpr uint32_t kTerminalReadTimeoutMs = 10;

struct SPattern {
    const char* text;
    size_t length;
};

// Three prompts that start a capture, then the two words that end one.
constexpr SPattern kPatterns[5] = {
    {"\r\n press Enter to start alarm history dump, <esc> to abort.\r\n", 61},
    {"\r\n press Enter to start trace dump, <esc> to abort.\r\n", 53},
    {"\r\n press Enter to start parameter history dump, <esc> to abort.\r\n", 65},
    {"complete", 8},
    {"abort", 5},
};

} // namespace

void CDravikApp::OnTerminalMode() {
    SetTerminalMode(m_nTerminalMode != 0 ? 0 : 1);
}

void CDravikApp::SetTerminalMode(int on) {
    if (on == 0) {
        // A capture does not outlive terminal mode: the file keeps everything received so far.
        if (m_nCaptureBusy != 0) {
            CloseCapture();
            m_nPatternPos[3] = m_nPatternPos[4] = 0;
        }
        m_nTerminalMode = 0;
        m_terminal.PutChar(0x0C);
        m_terminal.BlankTerminal();
        m_pTermLink.reset(); // a COM port closes; the USB device stays open, it belongs to the application
        RefreshStatus();
        return;
    }
    if (m_nLinkKind == kLinkCom) {
        int result = 0;
        auto link = std::make_unique<CSerialHandler>(*this, PortName(), kSettingNormal, result, true);
        if (result != CSerialHandler::kOpenOk) {
            m_pUi->ShowStatusMessage("Terminal mode could not be activated.");
            return;
        }
        m_pTermLink = std::move(link);
    } else if (m_nLinkKind == kLinkUsb) {
        m_pTermLink = std::make_unique<CSerialHandler>(*this, &m_usbDevice);
    } else {
        m_pUi->MessageBox(kNoLinkKindChosen);
        return;
    }
    m_nTerminalMode = 1;
    m_pTermLink->SetReadTimeout(kTerminalReadTimeoutMs);
    SendControlByte(kEscape);
    m_terminal.ShowTerminal();
    RefreshStatus();
}

void CDravikApp::SwitchTerminalModeOff() {
    if (m_nTerminalMode != 0)
        SetTerminalMode(0);
}

void CDravikApp::SendControlByte(uint8_t byte) {
    if (!m_pTermLink)
        return;
    if (m_nLinkKind == kLinkCom)
        m_pTermLink->PostByte(byte);
    else if (m_bUsbPresent && m_nLinkKind == kLinkUsb)
        m_pTermLink->WriteByte(byte);
}

void CDravikApp::SendTerminalByte(uint8_t byte) {
    SendTerminalBytes(&byte, 1);
}

void CDravikApp::SendTerminalBytes(const uint8_t* data, size_t count) {
    if (m_nTerminalMode == 0 || count == 0)
        return;
    if (m_bUsbPresent && m_nLinkKind == kLinkUsb)
        m_usbDevice.SendReport(4, data, count);
    else if (m_pTermLink)
        m_pTermLink->PostBytes(data, count);
    m_nLastSent[1] = count >= 2 ? data[count - 2] : m_nLastSent[0];
    m_nLastSent[0] = data[count - 1];
}

bool CDravikApp::MatchPattern(int pattern, uint8_t byte) {
    const SPattern& p = kPatterns[pattern];
    int& position = m_nPatternPos[pattern];
    if (byte != static_cast<uint8_t>(p.text[position])) {
        position = 0; // the byte is not tried again as the first byte
        return false;
    }
    if (static_cast<size_t>(++position) < p.length)
        return false;
    position = 0;
    return true;
}

bool CDravikApp::AskCaptureFile() {
    m_strCapturePath.clear();
    FileDialogRequest request;
    request.bOpen = false;
    request.strTitle = "Save data to file: ";
    request.strDefaultExt = "*.txt";
    request.strFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
    std::string path;
    if (m_pUi->GetFileName(request, path))
        m_strCapturePath = path;
    if (m_strCapturePath.empty())
        return false;
    m_captureBuffer.clear();
    m_captureFile.Reset(
        ::open(m_strCapturePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666));
    return m_captureFile.IsValid();
}

bool CDravikApp::FlushCapture() {
    if (!m_captureFile.IsValid() || m_captureBuffer.empty())
        return true;
    size_t done = 0;
    while (done < m_captureBuffer.size()) {
        const ssize_t n =
            ::write(m_captureFile.Get(), m_captureBuffer.data() + done, m_captureBuffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            m_captureBuffer.clear();
            m_bCaptureComplete = false; // the dump's end may have come, but not into the file
            CloseCapture();
            SendControlByte(kEscape); // the controller abandons the dump
            m_pUi->MessageBox(std::string("Error writing capture file.\n") + std::strerror(error) +
                              "\nCheck the disk and choose another file for the next dump.");
            return false;
        }
        done += static_cast<size_t>(n);
    }
    m_captureBuffer.clear();
    return true;
}

void CDravikApp::CloseCapture() {
    FlushCapture();
    if (m_captureFile.IsValid() && ::close(m_captureFile.Release()) != 0) {
        const int error = errno;
        m_bCaptureComplete = false; // a failing close can be the first report of a lost write
        m_pUi->MessageBox(std::string("Error writing capture file.\n") + std::strerror(error));
    }
    EndCaptureVisit(std::exchange(m_bCaptureComplete, false));
    m_captureBuffer.clear();
    m_nCaptureLines = 0;
    m_nCaptureBusy = 0;
}

void CDravikApp::EndCaptureVisit(bool complete) {
    if (!m_pCaptureVisit)
        return;
    m_pCaptureVisit->NoteFile(m_strCapturePath);
    EndVisit(std::exchange(m_pCaptureVisit, nullptr), m_nCaptureLines, complete);
}

int CDravikApp::CaptureByte(uint8_t byte) {
    if (m_nCaptureBusy == 0) {
        bool started = false;
        for (int pattern = 0; pattern < 3; ++pattern)
            started = MatchPattern(pattern, byte) || started;
        if (!started)
            return 0;
        m_nCaptureBusy = 1;
        m_pCaptureVisit = BeginVisit("capture");
        if (!AskCaptureFile()) {
            SendControlByte(kEscape); // the controller abandons the dump
            m_pUi->ShowStatusMessage("Unable to open file.");
            m_nCaptureBusy = 0;
            EndVisit(std::exchange(m_pCaptureVisit, nullptr), 0, false);
            return 0;
        }
        m_terminal.PutChar(0x0C);
        m_terminal.PutChar(0x0A);
        for (const char* text :
             {"\r\n Diagnostic trace and history menu:", "\r\n =================================="})
            m_terminal.PutString(text);
        m_terminal.PutChar(0x0A);
        for (const std::string& text :
             {std::string("\r\n Press [esc] to abort \r\n"), std::string("\r\n Saving to file:"),
              std::string("\r\n  "), m_strCapturePath, std::string("\r\n"),
              std::string("\033[11;1H Downloading line: ")})
            m_terminal.PutString(text.c_str());
        SendControlByte(kReturn); // starts the dump
        m_pUi->ShowStatusMessage("File opened ok.");
        return 1;
    }

    if (m_captureFile.IsValid())
        m_captureBuffer.push_back(static_cast<char>(byte));
    if (byte == kReturn) {
        ++m_nCaptureLines;
        char text[32];
        std::snprintf(text, sizeof text, "\033[11;20H %d ", m_nCaptureLines);
        m_terminal.PutString(text);
    }
    // Both end words are followed on every byte; only "complete" makes the capture whole.
    const bool complete = MatchPattern(3, byte);
    bool ended = MatchPattern(4, byte) || complete;
    if (m_nLastSent[0] == kEscape && m_nLastSent[1] == kEscape) {
        ended = true;
        m_nLastSent[0] = m_nLastSent[1] = 0;
    }
    if (ended) {
        m_bCaptureComplete = complete;
        CloseCapture();
        SendControlByte(kReturn);
    }
    return m_nCaptureBusy;
}

void CDravikApp::DeliverTerminalByte(uint8_t byte) {
    if (m_nCaptureBusy == 0)
        m_terminal.PutChar(byte);
    m_nCaptureBusy = CaptureByte(byte);
}

// One ZModem file send: the transfer state behind the modal "ZModem" window, the worker that runs
// SendFile from the receiver's ZRINIT to the closing "OO", and ZModemSendFile, which callers use.
#pragma once

#include "engine/zmodem/ZModemProgress.h"
#include "engine/zmodem/ZModemTypes.h"
#include "engine/zmodem/ZModemUtil.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class CSerialHandler;
class IUserInterface;
class IZModemView;

// Sends one file over an open link whose receiver has already started (its first '*' awaited by the
// caller), under the modal "ZModem" window; options null means all three words 0. The ZModemResult.
int ZModemSendFile(IUserInterface& ui, const std::string& path, const ZModemOptions* options,
                   CSerialHandler& link);

class CZModemDlg {
public:
    explicit CZModemDlg(IUserInterface& ui);
    ~CZModemDlg();
    CZModemDlg(const CZModemDlg&) = delete;
    CZModemDlg& operator=(const CZModemDlg&) = delete;

    // Shows the window, runs SendFile on a worker below normal priority and returns the result once the
    // window has closed.
    int DoModal();
    // The whole transfer (worker thread); leaves the result code.
    void SendFile();
    int Result() const { return m_nResult; }

    // The window's buttons.
    void OnCancel() { m_pShared->nCancel = 1; }
    void OnToggleUnit() { m_pShared->nSpeedUnit ^= 1; }

    // Filled in before DoModal.
    std::string m_strPath;
    CSerialHandler* m_pLink = nullptr;
    ZModemOptions m_options;

    // The name the receiver gets: the path's last component.
    static std::string TransferName(const std::string& path);
    // The ZFILE subpacket: name, NUL, "length mtime-octal mode-octal" (no NUL after it).
    static std::vector<uint8_t> FileInformation(const std::string& name, uint32_t length, uint32_t modified,
                                                uint32_t mode);

private:
    // Flags the window writes; shared so that a late button press never reaches a finished transfer.
    struct SShared {
        std::atomic<int> nCancel{0};
        std::atomic<int> nSpeedUnit{kSpeedUnitBps};
    };
    enum class EFinish { Confirmed, Resend, Unconfirmed };

    bool WaitReceiverInit();
    // Streams subpackets from the position to the end; false when the transfer has ended here.
    bool SendData();
    EFinish FinishTransfer();
    bool TakeReceiverPosition();
    // Counts a resend request that asks for no offset beyond the furthest one asked for so far; true once
    // there have been too many of them in a row.
    bool TooManyResends();
    void Abort(int result);
    void RefreshDisplay();
    IZModemView& View();

    IUserInterface& m_ui;
    std::shared_ptr<SShared> m_pShared = std::make_shared<SShared>();
    std::unique_ptr<IZModemView> m_pView;
    std::unique_ptr<CZModemProgress> m_pProgress;
    CZModemUtil m_util;

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file{nullptr, &std::fclose};
    std::vector<uint8_t> m_buffer;
    int64_t m_nPosition = 0;
    uint64_t m_nBytesSent = 0;      // file bytes streamed, resent ones again
    uint64_t m_nBytesConfirmed = 0; // the furthest position the receiver confirmed
    int64_t m_nFileLength = 0;
    size_t m_nSubpacketSize = 1024;
    bool m_bDataHeaderDue = true;
    uint8_t m_rxData[4] = {};
    uint8_t m_txData[4] = {};
    int m_nReceiverBufferSize = 0;
    int64_t m_nFurthestRequest = 0; // the furthest offset the receiver asked for so far
    int m_nResendsWithoutProgress = 0;
    std::atomic<int> m_nResult{ZModemOk};
};

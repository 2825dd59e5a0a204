#include "engine/zmodem/ZModemDlg.h"

#include "engine/app/UserInterface.h"
#include "engine/link/LinkContext.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"
#include "platform/ThreadPriority.h"

#include <algorithm>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr size_t kDefaultSubpacketSize = 1024;
constexpr size_t kMaxSubpacketSize = 16384;
constexpr size_t kFileBufferSize = kMaxSubpacketSize + 1;
constexpr int kReceiverInitAttempts = 10;
// A receiver that keeps answering ZFIN with ZRINIT, or keeps asking for the end again, must not hold
// the transfer forever.
constexpr int kMaxFinishTurns = 10;
constexpr int kMaxResendsAfterEof = 10;
// Resend requests in a row that ask for nothing beyond what was asked before: a receiver that keeps
// restarting at the same offset would otherwise hold the transfer forever.
constexpr int kMaxResendsWithoutProgress = 10;
constexpr int kMaxDrainChecks = 20;
constexpr uint32_t kDrainCheckMs = 500;
// Reads on a USB link wait as long as a single-byte read on a COM port does.
constexpr uint32_t kUsbReadTimeoutMs = 10000;
constexpr int64_t kMaxFileLength = 0x7FFFFFFF; // offsets travel as signed 32-bit values

void PutPosition(uint8_t data[4], int64_t position) {
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<uint8_t>(static_cast<uint32_t>(position) >> (8 * i));
}

} // namespace

int ZModemSendFile(IUserInterface& ui, const std::string& path, const ZModemOptions* options,
                   CSerialHandler& link) {
    CZModemDlg dialog(ui);
    dialog.m_strPath = path;
    dialog.m_pLink = &link;
    if (options)
        dialog.m_options = *options;
    return dialog.DoModal();
}

CZModemDlg::CZModemDlg(IUserInterface& ui) : m_ui(ui) {}

CZModemDlg::~CZModemDlg() = default;

std::string CZModemDlg::TransferName(const std::string& path) {
    // Both separators: a receiver on the controller takes a backslash as a folder separator as well.
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::vector<uint8_t> CZModemDlg::FileInformation(const std::string& name, uint32_t length, uint32_t modified,
                                                 uint32_t mode) {
    std::vector<uint8_t> information(name.begin(), name.end());
    information.push_back(0);
    char text[64];
    const int count =
        std::snprintf(text, sizeof text, "%lu %o %o", static_cast<unsigned long>(length), modified, mode);
    information.insert(information.end(), text, text + std::max(count, 0));
    return information;
}

IZModemView& CZModemDlg::View() {
    if (!m_pView)
        m_pView = MakeHiddenZModemView();
    if (!m_pProgress)
        m_pProgress = std::make_unique<CZModemProgress>(*m_pView);
    return *m_pView;
}

int CZModemDlg::DoModal() {
    std::shared_ptr<SShared> shared = m_pShared;
    m_pView = m_ui.CreateZModemView([shared] { shared->nCancel = 1; }, [shared] { shared->nSpeedUnit ^= 1; });
    View();
    std::atomic<bool> workerDone{false};
    std::thread worker([this, &workerDone] {
        SetCurrentThreadPriority(EThreadPriority::BelowNormal);
        SendFile();
        workerDone = true;
        m_pView->WorkerDone();
    });
    m_pView->RunModal();
    if (!workerDone)
        OnCancel(); // the window went away early (the program ends): stop at the next subpacket
    worker.join();
    m_pView.reset();
    return m_nResult;
}

void CZModemDlg::RefreshDisplay() {
    m_pProgress->Refresh(m_nPosition, m_nFileLength, m_pShared->nSpeedUnit,
                         CClock::Instance().CalendarSeconds());
}

void CZModemDlg::SendFile() {
    IZModemView& view = View();
    m_util.m_nUseCrc32 = m_options.nForceCrc16 == 0 ? 1 : 0;
    m_nSubpacketSize = m_options.nSubpacketSize <= 0
                           ? kDefaultSubpacketSize
                           : std::min(static_cast<size_t>(m_options.nSubpacketSize), kMaxSubpacketSize);
    m_util.SetLink(m_pLink);
    if (m_pLink != nullptr)
        m_util.SetGatherBytes(m_pLink->Descriptor() < 0 ? CZModemUtil::kUsbGatherBytes
                                                        : CZModemUtil::kPortGatherBytes);
    m_pProgress->Start(CClock::Instance().CalendarSeconds());
    m_nResult = ZModemOk;
    if (m_pLink == nullptr) {
        m_nResult = ZModemNoResponse;
        return;
    }
    // The service record learns what went out and what the receiver confirmed, however the send ends.
    struct SNoteBytes {
        CZModemDlg& dialog;
        ~SNoteBytes() {
            dialog.m_pLink->Context().NoteLinkBytes(dialog.m_nBytesSent, dialog.m_nBytesConfirmed);
        }
    } noteBytes{*this};
    m_pLink->SetTimeouts(5000, 1, 10000, 10, 1000);
    if (m_pLink->Descriptor() < 0)
        m_pLink->SetReadTimeout(kUsbReadTimeoutMs);

    const std::string name = TransferName(m_strPath);
    view.SetField(EZModemField::FileName, name);
    m_file.reset(std::fopen(m_strPath.c_str(), "rb"));
    struct stat info {};
    if (!m_file || ::fstat(::fileno(m_file.get()), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > kMaxFileLength) {
        m_file.reset();
        m_nResult = ZModemCannotOpenFile;
        return;
    }
    m_nFileLength = info.st_size;
    m_buffer.assign(kFileBufferSize, 0);
    view.SetProgressRange(static_cast<uint32_t>(m_nFileLength));

    struct SRelease {
        CZModemDlg& dialog;
        ~SRelease() {
            dialog.m_file.reset();
            dialog.m_buffer = {};
        }
    } release{*this};

    if (!WaitReceiverInit()) {
        m_nResult = ZModemNoResponse;
        return;
    }
    uint8_t flags[4] = {0, 0, 0, 1}; // ZF0 = 1: binary transfer
    m_util.SendBinaryHeader(ZFILE, flags);
    const std::vector<uint8_t> information =
        FileInformation(name, static_cast<uint32_t>(m_nFileLength), static_cast<uint32_t>(info.st_mtime),
                        static_cast<uint32_t>(info.st_mode));
    m_util.SendDataSubpacket(information.data(), std::min(information.size(), m_buffer.size()), ZCRCW);
    if (m_util.WriteFailed()) {
        m_nResult = ZModemNoResponse;
        return;
    }

    m_nPosition = 0;
    RefreshDisplay();
    std::fill(std::begin(m_rxData), std::end(m_rxData), 0);
    const int answer = m_util.GetHeader(m_rxData);
    if (answer == ZACK) {
        m_bDataHeaderDue = true;
    } else if (answer == ZRPOS) {
        if (!TakeReceiverPosition()) {
            m_nResult = ZModemNoResponse;
            return;
        }
    } else if (answer == ZSKIP) {
        m_nResult = ZModemSkipped;
        FinishTransfer();
        return;
    } else {
        m_nResult = ZModemNoResponse;
        return;
    }

    m_nFurthestRequest = m_nPosition;
    for (int resends = 0;; ++resends) {
        if (!SendData())
            return;
        const EFinish finish = FinishTransfer();
        if (finish == EFinish::Resend && TooManyResends()) {
            Abort(ZModemTooManyErrors);
            return;
        }
        if (finish == EFinish::Resend && resends < kMaxResendsAfterEof)
            continue;
        // Only a receiver that asked for the next file after ZEOF has the whole file.
        if (finish != EFinish::Confirmed && m_nResult == ZModemOk)
            m_nResult = ZModemNoResponse;
        if (finish == EFinish::Confirmed)
            m_nBytesConfirmed = static_cast<uint64_t>(m_nFileLength);
        return;
    }
}

bool CZModemDlg::WaitReceiverInit() {
    const uint8_t zero[4] = {0, 0, 0, 0};
    for (int attempt = 0; attempt < kReceiverInitAttempts; ++attempt) {
        std::fill(std::begin(m_rxData), std::end(m_rxData), 0);
        const int type = m_util.GetHeader(m_rxData);
        switch (type) {
        case -1:
            return false;
        case ZRQINIT:
            if (m_rxData[3] != ZCOMMAND)
                m_util.SendHexHeader(ZNAK, zero);
            break;
        case ZRINIT:
            m_nReceiverBufferSize = m_rxData[0] | (m_rxData[1] << 8);
            return true;
        case ZCHALLENGE:
            m_util.SendHexHeader(ZACK, m_rxData);
            break;
        case ZCOMMAND:
            m_util.SendHexHeader(ZRQINIT, zero);
            break;
        default:
            m_util.SendHexHeader(ZNAK, zero);
            break;
        }
    }
    return false;
}

bool CZModemDlg::TakeReceiverPosition() {
    const int32_t position =
        static_cast<int32_t>(static_cast<uint32_t>(m_rxData[0]) | (m_rxData[1] << 8) | (m_rxData[2] << 16) |
                             (static_cast<uint32_t>(m_rxData[3]) << 24));
    // An offset outside the file cannot be served; seeking there would send the wrong bytes.
    if (position < 0 || position > m_nFileLength || std::fseek(m_file.get(), position, SEEK_SET) != 0)
        return false;
    m_nPosition = position;
    m_nBytesConfirmed = std::max<uint64_t>(m_nBytesConfirmed, static_cast<uint64_t>(position));
    m_bDataHeaderDue = true;
    return true;
}

bool CZModemDlg::TooManyResends() {
    if (m_nPosition > m_nFurthestRequest) {
        m_nFurthestRequest = m_nPosition;
        m_nResendsWithoutProgress = 0;
        return false;
    }
    return ++m_nResendsWithoutProgress > kMaxResendsWithoutProgress;
}

void CZModemDlg::Abort(int result) {
    // The receiver drops the file instead of keeping a cut one as if it were whole.
    m_util.SendCancel();
    m_nResult = result;
    m_pProgress->ForceNext();
    RefreshDisplay();
}

bool CZModemDlg::SendData() {
    IZModemView& view = View();
    do {
        if (m_bDataHeaderDue) {
            PutPosition(m_txData, m_nPosition);
            m_util.SendBinaryHeader(ZDATA, m_txData);
            m_bDataHeaderDue = false;
        }
        const size_t wanted =
            static_cast<size_t>(std::min<int64_t>(m_nSubpacketSize, m_nFileLength - m_nPosition));
        const size_t got = wanted == 0 ? 0 : std::fread(m_buffer.data(), 1, wanted, m_file.get());
        if (got != wanted) {
            // The file shrank or cannot be read: what was announced cannot be delivered.
            Abort(ZModemCannotOpenFile);
            return false;
        }
        if (m_pShared->nCancel) {
            Abort(ZModemCancelled);
            return false;
        }
        m_nPosition += static_cast<int64_t>(got);
        m_nBytesSent += got;
        m_util.QueueDataSubpacket(m_buffer.data(), got, m_nPosition < m_nFileLength ? ZCRCG : ZCRCE);
        if (m_util.WriteFailed()) {
            m_nResult = ZModemNoResponse;
            return false;
        }
        view.SetProgressPos(static_cast<uint32_t>(m_nPosition));
        RefreshDisplay();

        // An answer can only be to bytes that went out: look once per write, not per subpacket held.
        if (m_util.HoldsBytes())
            continue;
        uint32_t errors = 0;
        CommStatus status;
        m_pLink->ClearErrors(errors, status);
        if (status.nInQueue > 0) {
            std::fill(std::begin(m_rxData), std::end(m_rxData), 0);
            const int type = m_util.GetHeader(m_rxData);
            if (type == ZRPOS) {
                if (!TakeReceiverPosition()) {
                    m_nResult = ZModemNoResponse;
                    return false;
                }
                if (TooManyResends()) {
                    Abort(ZModemTooManyErrors);
                    return false;
                }
            } else if (type == ZSKIP) {
                m_nResult = ZModemSkipped;
                return false;
            } else if (type != ZACK) {
                m_nResult = ZModemNoResponse;
                return false;
            }
        }
    } while (m_nPosition < m_nFileLength);
    m_util.Flush();
    if (m_util.WriteFailed()) {
        m_nResult = ZModemNoResponse;
        return false;
    }
    m_pProgress->ForceNext();
    RefreshDisplay();
    return true;
}

CZModemDlg::EFinish CZModemDlg::FinishTransfer() {
    const uint8_t zero[4] = {0, 0, 0, 0};
    PutPosition(m_txData, m_nPosition);
    m_util.SendBinaryHeader(ZEOF, m_txData);
    std::fill(std::begin(m_rxData), std::end(m_rxData), 0);
    int type = m_util.GetHeader(m_rxData);
    if (type == ZRPOS)
        return TakeReceiverPosition() ? EFinish::Resend : EFinish::Unconfirmed;
    const bool confirmed = type == ZRINIT;
    for (int turn = 0; type == ZRINIT && turn < kMaxFinishTurns; ++turn) {
        m_util.SendBinaryHeader(ZFIN, zero);
        type = m_util.GetHeader(m_rxData);
    }
    if (type == ZFIN) {
        m_util.SendString("OO\r");
        for (int check = 0; check < kMaxDrainChecks; ++check) {
            uint32_t errors = 0;
            CommStatus status;
            m_pLink->ClearErrors(errors, status);
            if (status.nOutQueue == 0)
                break;
            CClock::Instance().Sleep(kDrainCheckMs);
        }
    }
    return confirmed ? EFinish::Confirmed : EFinish::Unconfirmed;
}

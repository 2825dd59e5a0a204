#include "engine/download/Download.h"

#include "engine/app/DravikApp.h"
#include "engine/app/FileReason.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/UserInterface.h"
#include "engine/download/ImageAnalysis.h"
#include "engine/download/ImageFormat.h"
#include "engine/download/ImageReader.h"
#include "engine/download/ImageSource.h"
#include "engine/link/SerialHandler.h"
#include "platform/Clock.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t kAfterSpeedUpMs = 2000;
constexpr uint32_t kStagedWaitMs = 7000;
constexpr uint32_t kFlashProgrammingMs = 5000;

int ResultForRegions(int regions) {
    if ((regions & RegionOs) && (regions & RegionApplication))
        return kLoadDoneOsAndApplication;
    if (regions & RegionApplication)
        return kLoadDoneApplication;
    return kLoadDoneOther;
}

} // namespace

CDownload::CDownload(CDravikApp& app, std::unique_ptr<IDownloadView> view)
    : m_app(app), m_pView(std::move(view)), m_progress(*m_pView) {}

CDownload::~CDownload() = default;

void CDownload::Status(const std::string& text) {
    m_pView->SetField(EDownloadField::Status, text);
}

void CDownload::OnCancel() {
    m_bCancel = true;
    m_app.m_bDownloadRunning = false;
    m_pView->Close();
}

bool CDownload::OpenLink() {
    m_pLink.reset();
    m_pLink = m_app.OpenComLink();
    return m_pLink != nullptr;
}

bool CDownload::SwitchSpeed(const char* setting, const char* failureMessage) {
    if (m_nLinkKind != kLinkCom)
        return true;
    if (m_pLink->ChangeSetting(setting))
        return true;
    m_app.Ui().MessageBox(failureMessage);
    return false;
}

int CDownload::AnalyzeImage(IImageByteSource& file, uint64_t length) {
    m_progress.PrepareAnalysis(length);
    return AnalyzeImageRegions(file, m_app.m_nConnectState, [this] { m_pView->StepProgress(); });
}

bool CDownload::EraseImageAreas(int regions) {
    IUserInterface& ui = m_app.Ui();
    if (regions & RegionOs) {
        if (!m_pLink->SendCommand(CommandEraseOs)) {
            ui.MessageBox(kOsEraseRefused);
            return false;
        }
        if (m_app.m_nConnectState != ConnectBootstrap &&
            !m_pLink->SendCommand(CommandEraseApplicationAfterOs)) {
            ui.MessageBox(kApplicationEraseRefused);
            return false;
        }
    }
    if ((regions & RegionApplication) && !m_pLink->SendCommand(CommandEraseApplication)) {
        ui.MessageBox(kApplicationEraseRefused);
        return false;
    }
    if ((regions & RegionCommBoard) && !m_pLink->SendCommand(CommandEraseCommBoard)) {
        ui.MessageBox("Slave rejected erasure of Comm. Board firmware.");
        return false;
    }
    return true;
}

namespace {

// Releases the download's link on every way out of the download.
class CLinkRelease {
public:
    explicit CLinkRelease(std::unique_ptr<CSerialHandler>& link) : m_link(link) {}
    ~CLinkRelease() { m_link.reset(); }
    CLinkRelease(const CLinkRelease&) = delete;
    CLinkRelease& operator=(const CLinkRelease&) = delete;

private:
    std::unique_ptr<CSerialHandler>& m_link;
};

} // namespace

int CDownload::DownloadImage() {
    m_pView->SetField(EDownloadField::FileName, m_app.m_strFileName);
    Status(kStatusPleaseWait);

    const CLinkRelease release(m_pLink);
    CImageFileSource file;
    int result = OpenDownload();
    if (result == kLoadPending)
        result = AnalyzePhase(file);
    if (result == kLoadPending)
        result = ErasePhase();
    if (result == kLoadPending)
        result = LoadPhase(file);
    if (result == kLoadPending)
        result = CloseDownload(file);
    return result;
}

int CDownload::OpenDownload() {
    IUserInterface& ui = m_app.Ui();
    // The link kind is taken once: Use USB may change the application's choice while a cancelled
    // download still finishes on the link it started with.
    m_nLinkKind = m_app.m_nLinkKind;
    if (m_nLinkKind != kLinkUsb && m_nLinkKind != kLinkCom) {
        ui.MessageBox(kNoLinkKindChosen);
        return kLoadNoLink;
    }
    // An image the transfer could not finish is refused before the controller hears anything.
    {
        CImageFileSource whole;
        if (whole.Open(m_app.m_strPathName) && !ImageReadsToItsEnd(whole)) {
            ui.MessageBox("Unexpected end of file.");
            ui.MessageBox("The image file is cut short or damaged; nothing on the controller was erased. "
                          "Load a new copy of the file.");
            return kLoadUnexpectedEnd;
        }
    }
    if (m_nLinkKind == kLinkUsb) {
        m_pLink = std::make_unique<CSerialHandler>(m_app, &m_app.m_usbDevice);
    } else if (!OpenLink()) {
        return kLoadComPortFailed;
    }

    // The protocol is asked again for this download: a BIOS that answers "PL01" (or an answer that
    // begins with "E") programs its image in two stages.
    char reply[5] = {};
    m_pLink->EscapeD(reply, 4);
    m_bStaged = reply[3] == '1' || reply[0] == 'E';

    if (m_nLinkKind == kLinkCom && !OpenLink())
        return kLoadComPortFailed;
    return kLoadPending;
}

int CDownload::AnalyzePhase(CImageFileSource& file) {
    Status(kStatusAnalyzing);
    if (!file.Open(m_app.m_strPathName)) {
        Status(kStatusFileNotOpened);
        return kLoadFileNotOpened;
    }
    m_nRegions = AnalyzeImage(file, file.Length());
    file.Close();
    return m_bCancel ? kLoadCancelled : kLoadPending;
}

int CDownload::ErasePhase() {
    m_progress.ResetBar();
    // A Cancel while the question is open erases nothing either.
    if ((m_bConfirmErase && !m_app.Ui().RunEraseOkDialog()) || m_bCancel)
        return kLoadCancelled;
    Status(kStatusErasing);
    if (!EraseImageAreas(m_nRegions))
        return kLoadEraseRefused;
    return m_bCancel ? kLoadCancelled : kLoadPending;
}

int CDownload::LoadPhase(CImageFileSource& file) {
    IUserInterface& ui = m_app.Ui();
    if (!file.Open(m_app.m_strPathName)) {
        ui.MessageBoxWithReason("Unable to open file", FileReason(m_app.m_strPathName, errno));
        return kLoadFileNotOpened;
    }
    if (!m_pLink->SendCommand(CommandLoadSoftware)) {
        ui.MessageBox(kLoadCommandRefused);
        return kLoadRefused;
    }
    if (!SwitchSpeed(kSettingFast, "Could not change port settings."))
        return kLoadBaudChangeFailed;
    if (m_nLinkKind == kLinkCom)
        CClock::Instance().Sleep(kAfterSpeedUpMs);
    return Transfer(file, file.Length(), m_bStaged);
}

int CDownload::CloseDownload(CImageFileSource& file) {
    IUserInterface& ui = m_app.Ui();
    // The closing frame ends the load; its acknowledge is not examined. A line that hung up took nothing,
    // though: that is no download.
    const uint8_t closing[4] = {0, 0, 0, 0};
    m_pLink->SendMRBlock(closing, sizeof closing);
    if (m_pLink->HasFailed()) {
        ui.MessageBox(m_nLinkKind == kLinkUsb ? kUsbReadFailed : kComPortReadFailed);
        return kLoadComPortFailed;
    }
    if (!SwitchSpeed(kSettingNormal, "Slave rejected comm port command."))
        return kLoadBaudChangeFailed;

    if (m_bCancel) {
        // No partial software may stay on the controller.
        {
            auto wait =
                ui.CreateWaitWindow("Erasing...", "Please wait while partial file download is erased.");
            EraseImageAreas(m_nRegions);
        }
        m_bErasePartial = false;
        return kLoadCancelled;
    }

    file.Close();
    Status(kStatusProgramming);
    CClock::Instance().Sleep(kFlashProgrammingMs);
    ui.MessageBox("Download complete.");
    if (ui.MessageBox(kRestartQuestion, EMsgButtons::YesNo, EMsgIcon::Question) == IDYES)
        m_pLink->SendCommand(CommandRestart);
    return ResultForRegions(m_nRegions);
}

int CDownload::Transfer(IImageByteSource& file, uint64_t length, bool staged) {
    IUserInterface& ui = m_app.Ui();
    // The figures show the low 32 bits of the length, as the window's counters hold.
    const uint32_t total = static_cast<uint32_t>(length);
    m_progress.PrepareTransfer(length);
    m_bErasePartial = true;
    m_progress.Restart();
    Status(kStatusPreparing);

    CImageReader reader(file);
    uint8_t block[kImageBlockBytes];
    bool seenLow = false;
    bool seenHigh = false;
    for (;;) {
        m_progress.AdvanceTransfer(reader.Consumed());
        size_t filled = 0;
        CImageReader::EStop stop = reader.Fill(block, sizeof block, filled);
        while (stop == CImageReader::EStop::Address) {
            if (filled > 0 && !SendDataBlock(block, filled)) {
                ui.MessageBox("Error downloading file to controller.");
                return kLoadRefused;
            }
            uint8_t address[kImageAddressBytes];
            std::memcpy(address, reader.AddressBytes(), sizeof address);
            (ImageIsHighPart(address) ? seenHigh : seenLow) = true;
            if (staged && !m_bStagedDone && seenLow && seenHigh) {
                const int result = StagedProgrammingStep();
                if (result != kLoadPending)
                    return result;
            }
            m_pLink->SendMRBlock(address, sizeof address); // its outcome is not examined
            filled = 0;
            stop = reader.Fill(block, sizeof block, filled);
        }
        if (stop == CImageReader::EStop::UnexpectedEnd || stop == CImageReader::EStop::BadRecord ||
            stop == CImageReader::EStop::ReadError) {
            ui.MessageBox("Unexpected end of file.");
            return kLoadUnexpectedEnd;
        }
        if (filled > 0 && !SendDataBlock(block, filled)) {
            ui.MessageBox("Error downloading file to controller.");
            return kLoadRefused;
        }
        if (stop == CImageReader::EStop::End) {
            m_progress.ShowFinal(static_cast<uint32_t>(reader.Consumed()), total);
            return kLoadPending;
        }
        m_progress.ShowProgress(static_cast<uint32_t>(reader.Consumed()), total);
        if (m_bCancel)
            return kLoadPending;
    }
}

bool CDownload::SendDataBlock(const uint8_t* block, size_t length) {
    // A data frame whose bytes read "MR:" ... ":" is byte for byte an address frame, and the controller
    // would take it for one. Its first byte goes in a frame of its own, so neither part looks like that.
    const bool looksLikeAddress =
        length >= 4 && block[0] == 'M' && block[1] == 'R' && block[2] == ':' && block[length - 1] == ':';
    if (looksLikeAddress)
        return m_pLink->SendBlock(block, 1) && m_pLink->SendBlock(block + 1, length - 1);
    return m_pLink->SendBlock(block, length);
}

int CDownload::StagedProgrammingStep() {
    m_bStagedDone = true;
    const uint8_t zero[4] = {0, 0, 0, 0};
    m_pLink->SendMRBlock(zero, sizeof zero);
    if (!SwitchSpeed(kSettingNormal, "Could not change port settings."))
        return kLoadBaudChangeFailed;
    if (m_nLinkKind == kLinkCom)
        CClock::Instance().Sleep(kStagedWaitMs);
    if (!m_pLink->SendCommand(CommandLoadSoftware)) {
        m_app.Ui().MessageBox(kLoadCommandRefused);
        return kLoadRefused;
    }
    if (!SwitchSpeed(kSettingFast, "Could not change port settings."))
        return kLoadBaudChangeFailed;
    return kLoadPending;
}

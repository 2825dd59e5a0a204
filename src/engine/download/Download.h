// The image download: reads the controller's protocol, analyses the image, erases exactly the regions it
// touches, and sends it as acknowledged frames at 38400 baud with address frames between them; after a
// cancel during the transfer it erases those regions again. Runs on a worker thread of its own and writes
// the "File Download" window through its view.
#pragma once

#include "engine/app/ResultCodes.h"
#include "engine/download/DownloadProgress.h"
#include "engine/download/DownloadStatusTexts.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class CDravikApp;
class CSerialHandler;
class IDownloadView;
class CImageFileSource;
class IImageByteSource;

class CDownload {
public:
    CDownload(CDravikApp& app, std::unique_ptr<IDownloadView> view);
    ~CDownload();
    CDownload(const CDownload&) = delete;
    CDownload& operator=(const CDownload&) = delete;

    // The whole download, on the worker thread; a result code.
    int DownloadImage();
    // The analysis pass over an opened image (drives the progress bar); the region set.
    int AnalyzeImage(IImageByteSource& file, uint64_t length);
    // The erase commands for a region set; false after a refusal (its messages shown).
    bool EraseImageAreas(int regions);

    // Cancel button, close box and the worker's end: the worker notices at its check points.
    void OnCancel();
    bool IsCancelled() const { return m_bCancel; }
    // The region set of the image analysed (0 before the analysis).
    int Regions() const { return m_nRegions; }

    std::atomic<bool> m_bConfirmErase{true};

private:
    // The phases of a download, in order; each gives kLoadPending to go on or the download's result.
    // Opens the link and asks the protocol again.
    int OpenDownload();
    int AnalyzePhase(CImageFileSource& file);
    // Asks before erasing, then erases the regions the image touches.
    int ErasePhase();
    // The load command, the speed-up and the transfer.
    int LoadPhase(CImageFileSource& file);
    // The closing frame and the normal speed; a cancelled load erased again, else the restart question.
    int CloseDownload(CImageFileSource& file);
    // Transfer from the open image to the controller; kLoadPending while it went through.
    int Transfer(IImageByteSource& file, uint64_t length, bool staged);
    int StagedProgrammingStep();
    bool SendDataBlock(const uint8_t* block, size_t length);
    bool OpenLink();
    bool SwitchSpeed(const char* setting, const char* failureMessage);
    void Status(const std::string& text);

    CDravikApp& m_app;
    std::unique_ptr<IDownloadView> m_pView;
    CDownloadProgress m_progress;
    std::atomic<bool> m_bCancel{false};
    std::unique_ptr<CSerialHandler> m_pLink;
    bool m_bErasePartial = false;
    bool m_bStaged = false; // the BIOS programs its image in two stages
    bool m_bStagedDone = false;
    int m_nRegions = 0;
    int m_nLinkKind = 0; // the link kind the download started with
};

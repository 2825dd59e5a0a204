// Starting the image download on its worker thread and waiting for it to end.
#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "engine/download/Download.h"
#include "engine/records/ServiceVisit.h"
#include "platform/ThreadPriority.h"

#include <mutex>

void CDravikApp::StartImageDownload() {
    WaitForDownload(); // a previous worker has ended by now; collect it
    m_bDownloadRunning = true;
    // The window's Cancel reaches the download once it exists; the window comes first, as it is the
    // download's view.
    struct SCancelTarget {
        std::mutex lock;
        std::weak_ptr<CDownload> download;
    };
    auto target = std::make_shared<SCancelTarget>();
    auto view = m_pUi->CreateDownloadView([target] {
        std::shared_ptr<CDownload> download;
        {
            std::lock_guard<std::mutex> guard(target->lock);
            download = target->download.lock();
        }
        if (download)
            download->OnCancel();
    });
    auto download = std::make_shared<CDownload>(*this, std::move(view));
    {
        std::lock_guard<std::mutex> guard(target->lock);
        target->download = download;
    }
    download->m_bConfirmErase = !m_bWizardRunning;
    m_pDownload = download;
    m_nLastLoadResult = kLoadPending;
    {
        std::lock_guard<std::mutex> guard(m_downloadEndLock);
        ++m_nDownloadsStarted;
    }
    m_downloadThread = std::thread(
        [this, download, visit = std::move(m_pDownloadVisit)] { DownloadThreadProc(download, visit); });
}

void CDravikApp::CancelDownload() {
    if (m_pDownload)
        m_pDownload->OnCancel();
}

void CDravikApp::DownloadThreadProc(std::shared_ptr<CDownload> download,
                                    std::shared_ptr<CServiceVisit> visit) {
    SetCurrentThreadPriority(EThreadPriority::AboveNormal);
    m_nLastLoadResult = kLoadPending;
    const int result = download->DownloadImage();
    if (visit)
        visit->NoteRegions(download->Regions());
    EndVisit(visit, result, result >= kLoadDoneOsAndApplication && result <= kLoadDoneApplication);
    m_nLastLoadResult = result;
    m_bDownloadRunning = false;
    download->OnCancel();
    {
        std::lock_guard<std::mutex> guard(m_downloadEndLock);
        ++m_nDownloadsEnded;
    }
    m_downloadEnded.notify_all();
}

void CDravikApp::WaitForDownloadEnd() {
    std::unique_lock<std::mutex> lock(m_downloadEndLock);
    m_downloadEnded.wait(lock, [this] { return m_nDownloadsEnded == m_nDownloadsStarted; });
}

void CDravikApp::WaitForDownload() {
    if (m_downloadThread.joinable())
        m_downloadThread.join();
}

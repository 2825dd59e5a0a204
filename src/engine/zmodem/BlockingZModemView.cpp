#include "engine/zmodem/BlockingZModemView.h"

#include "platform/Clock.h"

namespace {

constexpr uint32_t kClosingPauseMs = 1000;

} // namespace

void CBlockingZModemView::WorkerDone() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bWorkerDone = true;
    }
    m_done.notify_all();
}

void CBlockingZModemView::RunModal() {
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_done.wait(guard, [this] { return m_bWorkerDone; });
    }
    CClock::Instance().Sleep(kClosingPauseMs);
    OnModalEnd();
}

std::unique_ptr<IZModemView> MakeHiddenZModemView() {
    return std::make_unique<CHiddenZModemView>();
}

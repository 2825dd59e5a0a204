#include "gui/zmodem/ZModemView.h"

#include "gui/app/GuiCaller.h"
#include "gui/zmodem/ZModemWindow.h"
#include "platform/Clock.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

constexpr uint64_t kClosingPauseMs = 1000;

} // namespace

// The end of the modal wait, set on the GUI thread when the closing pause has passed.
struct CQtZModemView::SModalState {
    std::mutex lock;
    std::condition_variable ended;
    bool bEnded = false;
    QPointer<QEventLoop> pLoop; // GUI thread only

    void End() {
        {
            std::lock_guard<std::mutex> guard(lock);
            bEnded = true;
        }
        ended.notify_all();
        if (pLoop)
            pLoop->quit();
    }
    bool HasEnded() {
        std::lock_guard<std::mutex> guard(lock);
        return bEnded;
    }
};

CQtZModemView::CQtZModemView(CGuiCaller& caller, std::function<void()> onCancel,
                             std::function<void()> onToggleUnit)
    : m_caller(caller), m_pState(std::make_shared<SModalState>()) {
    m_caller.Call([&] { m_pWindow = new CZModemWindow(std::move(onCancel), std::move(onToggleUnit)); });
}

CQtZModemView::~CQtZModemView() {
    OnWindow([](CZModemWindow& window) { window.Finish(); });
}

CZModemWindow* CQtZModemView::Window() const {
    return m_pWindow.data();
}

template <class Action> void CQtZModemView::OnWindow(Action action) {
    m_caller.Call([&] {
        if (m_pWindow)
            action(*m_pWindow);
    });
}

void CQtZModemView::SetField(EZModemField field, const std::string& text) {
    const QString value = QString::fromStdString(text);
    OnWindow([&](CZModemWindow& window) { window.SetField(field, value); });
}

void CQtZModemView::SetProgressRange(uint32_t maximum) {
    OnWindow([&](CZModemWindow& window) { window.SetProgressRange(maximum); });
}

void CQtZModemView::SetProgressPos(uint32_t position) {
    OnWindow([&](CZModemWindow& window) { window.SetProgressPos(position); });
}

void CQtZModemView::WorkerDone() {
    // Like a posted message: the worker goes on at once; the pause runs on the GUI thread's timer.
    std::shared_ptr<SModalState> state = m_pState;
    QObject* context = m_caller.Context();
    m_caller.Post([state, context] {
        const auto pause =
            std::chrono::ceil<std::chrono::milliseconds>(CClock::Instance().RealDuration(kClosingPauseMs));
        QTimer::singleShot(pause, context, [state] { state->End(); });
    });
}

void CQtZModemView::RunModal() {
    if (m_caller.IsGuiThread()) {
        if (!m_pState->HasEnded()) {
            QEventLoop loop;
            m_pState->pLoop = &loop;
            loop.exec();
            m_pState->pLoop = nullptr;
        }
    } else {
        std::unique_lock<std::mutex> guard(m_pState->lock);
        // At the program's end the GUI thread stops serving calls; the wait then ends with it.
        while (!m_pState->bEnded && !m_caller.IsClosed())
            m_pState->ended.wait_for(guard, std::chrono::milliseconds(50));
    }
    OnWindow([](CZModemWindow& window) { window.Finish(); });
}

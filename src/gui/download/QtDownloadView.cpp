#include "gui/download/QtDownloadView.h"

#include "gui/app/GuiCaller.h"
#include "gui/download/DownloadWindow.h"

CQtDownloadView::CQtDownloadView(CGuiCaller& caller, std::function<void()> onCancel) : m_caller(caller) {
    m_caller.Call([&] { m_pWindow = new CDownloadWindow(std::move(onCancel)); });
}

CQtDownloadView::~CQtDownloadView() {
    Close();
}

CDownloadWindow* CQtDownloadView::Window() const {
    return m_pWindow.data();
}

template <class Action> void CQtDownloadView::OnWindow(Action action) {
    m_caller.Call([&] {
        if (m_pWindow)
            action(*m_pWindow);
    });
}

void CQtDownloadView::SetField(EDownloadField field, const std::string& text) {
    const QString value = QString::fromStdString(text);
    OnWindow([&](CDownloadWindow& window) { window.SetField(field, value); });
}

void CQtDownloadView::SetProgressRange(uint32_t maximum) {
    OnWindow([&](CDownloadWindow& window) { window.SetProgressRange(maximum); });
}

void CQtDownloadView::SetProgressPos(uint32_t position) {
    OnWindow([&](CDownloadWindow& window) { window.SetProgressPos(position); });
}

void CQtDownloadView::SetProgressStep(uint32_t amount) {
    OnWindow([&](CDownloadWindow& window) { window.SetProgressStep(amount); });
}

void CQtDownloadView::StepProgress() {
    OnWindow([](CDownloadWindow& window) { window.StepProgress(); });
}

void CQtDownloadView::Close() {
    OnWindow([](CDownloadWindow& window) { window.Dismiss(); });
}

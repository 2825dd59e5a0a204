// The download view of the desktop face: the engine's download worker writes the "File Download" window
// through it from its own thread. Every call runs on the GUI thread (blocking the worker until it has);
// the window may go before this object or after it.
#pragma once

#include "engine/app/UserInterface.h"

#include <QPointer>

#include <functional>

class CDownloadWindow;
class CGuiCaller;

class CQtDownloadView : public IDownloadView {
public:
    // Creates and shows the window on the GUI thread.
    CQtDownloadView(CGuiCaller& caller, std::function<void()> onCancel);
    ~CQtDownloadView() override;

    void SetField(EDownloadField field, const std::string& text) override;
    void SetProgressRange(uint32_t maximum) override;
    void SetProgressPos(uint32_t position) override;
    void SetProgressStep(uint32_t amount) override;
    void StepProgress() override;
    void Close() override;

    // The window while it exists (GUI thread only).
    CDownloadWindow* Window() const;

private:
    template <class Action> void OnWindow(Action action);

    CGuiCaller& m_caller;
    QPointer<CDownloadWindow> m_pWindow; // read and written on the GUI thread only
};

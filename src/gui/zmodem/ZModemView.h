// The ZModem window of the desktop face as the transfer sees it: the worker's writes run on the GUI
// thread (blocking the worker until they have), and RunModal keeps the caller waiting, with a local
// event loop when the caller is the GUI thread itself, until the worker's end and the closing pause.
#pragma once

#include "engine/app/UserInterface.h"

#include <QPointer>

#include <functional>
#include <memory>

class CGuiCaller;
class CZModemWindow;

class CQtZModemView : public IZModemView {
public:
    // Creates and shows the window on the GUI thread.
    CQtZModemView(CGuiCaller& caller, std::function<void()> onCancel, std::function<void()> onToggleUnit);
    ~CQtZModemView() override;

    void SetField(EZModemField field, const std::string& text) override;
    void SetProgressRange(uint32_t maximum) override;
    void SetProgressPos(uint32_t position) override;
    void WorkerDone() override;
    void RunModal() override;

    // The window while it exists (GUI thread only).
    CZModemWindow* Window() const;

private:
    struct SModalState;
    template <class Action> void OnWindow(Action action);

    CGuiCaller& m_caller;
    QPointer<CZModemWindow> m_pWindow; // read and written on the GUI thread only
    std::shared_ptr<SModalState> m_pState;
};

// The ZModem window's modal wait for faces without a window loop: RunModal blocks the caller until the
// worker's WorkerDone, then keeps the one-second closing pause on the program's clock.
#pragma once

#include "engine/app/UserInterface.h"

#include <condition_variable>
#include <mutex>

class CBlockingZModemView : public IZModemView {
public:
    void WorkerDone() override;
    void RunModal() override;

protected:
    // After the closing pause, on the caller's thread: the window goes.
    virtual void OnModalEnd() {}

private:
    std::mutex m_lock;
    std::condition_variable m_done;
    bool m_bWorkerDone = false;
};

// Shows nothing.
class CHiddenZModemView : public CBlockingZModemView {
public:
    void SetField(EZModemField, const std::string&) override {}
    void SetProgressRange(uint32_t) override {}
    void SetProgressPos(uint32_t) override {}
};

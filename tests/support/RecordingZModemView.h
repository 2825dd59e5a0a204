// A ZModem window for tests: remembers the fields, their changes in order, the progress bar and how the
// window ended, and presses Cancel itself once the transfer has passed a chosen position (the test's
// own thread is blocked in the transfer meanwhile).
#pragma once

#include "engine/zmodem/BlockingZModemView.h"
#include "support/RecordedFields.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class CRecordingZModemView : public CRecordedFields<EZModemField> {
public:
    void SetField(EZModemField field, const std::string& text) { NoteField(field, text); }
    void SetProgressRange(uint32_t maximum) { NoteRange(maximum); }
    void SetProgressPos(uint32_t position) {
        std::function<void()> cancel;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_nPos = position;
            if (m_bCancelArmed && position >= m_nCancelAt) {
                m_bCancelArmed = false;
                cancel = m_onCancel;
            }
        }
        if (cancel)
            cancel();
    }
    void Closed() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bClosed = true;
    }

    void SetButtons(std::function<void()> onCancel, std::function<void()> onToggleUnit) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_onCancel = std::move(onCancel);
        m_onToggleUnit = std::move(onToggleUnit);
    }
    void CancelAt(uint32_t position) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bCancelArmed = true;
        m_nCancelAt = position;
    }
    void PressCancel() { Button(m_onCancel)(); }
    void PressUnit() { Button(m_onToggleUnit)(); }

    bool IsClosed() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_bClosed;
    }

private:
    std::function<void()> Button(const std::function<void()>& button) const {
        std::lock_guard<std::mutex> guard(m_lock);
        return button ? button : [] {};
    }

    bool m_bClosed = false;
    bool m_bCancelArmed = false;
    uint32_t m_nCancelAt = 0;
    std::function<void()> m_onCancel;
    std::function<void()> m_onToggleUnit;
};

// Hands the transfer a window whose record outlives it.
class CSharedZModemView : public CBlockingZModemView {
public:
    explicit CSharedZModemView(std::shared_ptr<CRecordingZModemView> record) : m_pRecord(std::move(record)) {}
    void SetField(EZModemField field, const std::string& text) override { m_pRecord->SetField(field, text); }
    void SetProgressRange(uint32_t maximum) override { m_pRecord->SetProgressRange(maximum); }
    void SetProgressPos(uint32_t position) override { m_pRecord->SetProgressPos(position); }

protected:
    void OnModalEnd() override { m_pRecord->Closed(); }

private:
    std::shared_ptr<CRecordingZModemView> m_pRecord;
};

// A ZModem window for tests: remembers the fields, their changes in order, the progress bar and how the
// window ended, and presses Cancel itself once the transfer has passed a chosen position (the test's
// own thread is blocked in the transfer meanwhile).
#pragma once

#include "engine/zmodem/BlockingZModemView.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class CRecordingZModemView {
public:
    void SetField(int controlId, const std::string& text) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_fields[controlId] = text;
        m_history.emplace_back(controlId, text);
    }
    void SetProgressRange(uint32_t maximum) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_nRange = maximum;
    }
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

    std::string Field(int controlId) const {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_fields.find(controlId);
        return found == m_fields.end() ? std::string() : found->second;
    }
    std::vector<std::string> History(int controlId) const {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<std::string> texts;
        for (const auto& [id, text] : m_history)
            if (id == controlId)
                texts.push_back(text);
        return texts;
    }
    uint32_t Range() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_nRange;
    }
    uint32_t Pos() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_nPos;
    }
    bool IsClosed() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_bClosed;
    }

private:
    std::function<void()> Button(const std::function<void()>& button) const {
        std::lock_guard<std::mutex> guard(m_lock);
        return button ? button : [] {};
    }

    mutable std::mutex m_lock;
    std::map<int, std::string> m_fields;
    std::vector<std::pair<int, std::string>> m_history;
    uint32_t m_nRange = 0;
    uint32_t m_nPos = 0;
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
    void SetField(int controlId, const std::string& text) override { m_pRecord->SetField(controlId, text); }
    void SetProgressRange(uint32_t maximum) override { m_pRecord->SetProgressRange(maximum); }
    void SetProgressPos(uint32_t position) override { m_pRecord->SetProgressPos(position); }

protected:
    void OnModalEnd() override { m_pRecord->Closed(); }

private:
    std::shared_ptr<CRecordingZModemView> m_pRecord;
};

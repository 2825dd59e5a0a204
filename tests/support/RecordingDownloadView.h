// A download view that remembers what the worker wrote: the fields' current texts, every field change in
// order, and the progress bar's state.
#pragma once

#include "engine/app/UiTransferViews.h"
#include "support/RecordedFields.h"

class CRecordingDownloadView : public IDownloadView, public CRecordedFields<EDownloadField> {
public:
    void SetField(EDownloadField field, const std::string& text) override { NoteField(field, text); }
    void SetProgressRange(uint32_t maximum) override { NoteRange(maximum); }
    void SetProgressPos(uint32_t position) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_nPos = position;
    }
    void SetProgressStep(uint32_t amount) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_nStep = amount;
    }
    void StepProgress() override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_nPos += m_nStep;
        ++m_nSteps;
    }
    void Close() override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bClosed = true;
    }

    uint32_t Steps() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_nSteps;
    }
    bool Closed() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_bClosed;
    }

private:
    uint32_t m_nStep = 1;
    uint32_t m_nSteps = 0;
    bool m_bClosed = false;
};

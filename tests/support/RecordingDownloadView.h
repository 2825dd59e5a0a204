// A download view that remembers what the worker wrote: the fields' current texts, every field change in
// order, and the progress bar's state.
#pragma once

#include "engine/app/UserInterface.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class CRecordingDownloadView : public IDownloadView {
public:
    void SetField(int controlId, const std::string& text) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_fields[controlId] = text;
        m_history.emplace_back(controlId, text);
    }
    void SetProgressRange(uint32_t maximum) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_nRange = maximum;
    }
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
    size_t ChangeCount() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_history.size();
    }
    uint32_t Range() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_nRange;
    }
    uint32_t Pos() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_nPos;
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
    mutable std::mutex m_lock;
    std::map<int, std::string> m_fields;
    std::vector<std::pair<int, std::string>> m_history;
    uint32_t m_nRange = 0;
    uint32_t m_nPos = 0;
    uint32_t m_nStep = 1;
    uint32_t m_nSteps = 0;
    bool m_bClosed = false;
};

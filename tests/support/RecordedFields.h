// What the tests' records of the transfer windows share: each field's current text, every field change
// in order and the progress bar's range and position, under one lock (the transfer's worker writes while
// the test reads).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

template <class FieldId> class CRecordedFields {
public:
    std::string Field(FieldId field) const {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_fields.find(field);
        return found == m_fields.end() ? std::string() : found->second;
    }
    std::vector<std::string> History(FieldId field) const {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<std::string> texts;
        for (const auto& [id, text] : m_history)
            if (id == field)
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

protected:
    void NoteField(FieldId field, const std::string& text) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_fields[field] = text;
        m_history.emplace_back(field, text);
    }
    void NoteRange(uint32_t maximum) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_nRange = maximum;
    }

    mutable std::mutex m_lock;
    uint32_t m_nPos = 0;

private:
    std::map<FieldId, std::string> m_fields;
    std::vector<std::pair<FieldId, std::string>> m_history;
    uint32_t m_nRange = 0;
};

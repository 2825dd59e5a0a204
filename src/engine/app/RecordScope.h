// The service record of one operation for the length of a block: opened on construction, written on
// Finish or, for an operation that returned early, at the end of the block with the outcome function's
// result (without one: result 0, not successful).
#pragma once

#include "engine/app/DravikApp.h"
#include "engine/records/ServiceVisit.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

class CRecordScope {
public:
    using Outcome = std::function<std::pair<int, bool>()>;

    CRecordScope(CDravikApp& app, const std::string& operation, Outcome outcome = {})
        : m_app(app), m_pVisit(app.BeginVisit(operation)), m_outcome(std::move(outcome)) {}
    ~CRecordScope() {
        const auto [result, ok] = m_outcome ? m_outcome() : std::pair<int, bool>(0, false);
        Finish(result, ok);
    }
    CRecordScope(const CRecordScope&) = delete;
    CRecordScope& operator=(const CRecordScope&) = delete;

    void Finish(int result, bool ok) {
        m_app.EndVisit(m_pVisit, result, ok);
        m_pVisit.reset();
    }
    void NoteFile(const std::string& path) {
        if (m_pVisit)
            m_pVisit->NoteFile(path);
    }
    void NoteOutputFile(const std::string& path) {
        if (m_pVisit)
            m_pVisit->NoteOutputFile(path);
    }
    void NoteFileDigest(const std::string& path, int64_t size, const std::string& sha256) {
        if (m_pVisit)
            m_pVisit->NoteFileDigest(path, size, sha256);
    }
    void NoteOutputDigest(const std::string& path, int64_t size, const std::string& sha256) {
        if (m_pVisit)
            m_pVisit->NoteOutputDigest(path, size, sha256);
    }
    // Whether anything is being recorded: digests are worth taking only then.
    bool IsRecording() const { return m_pVisit != nullptr; }
    // Hands the open record to whoever ends the operation later (the image download's worker).
    std::shared_ptr<CServiceVisit> Release() { return std::exchange(m_pVisit, nullptr); }

private:
    CDravikApp& m_app;
    std::shared_ptr<CServiceVisit> m_pVisit;
    Outcome m_outcome;
};

// The download window on a console: its figures as the console's progress line (bytes, percent, speed,
// remaining time), the line ended when the window closes.
#pragma once

#include "cli/ConsoleOutput.h"
#include "engine/app/UserInterface.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class CConsoleDownloadView : public IDownloadView {
public:
    // open, when given, is cleared when the window closes (its Cancel no longer reaches a download).
    explicit CConsoleDownloadView(CConsoleOutput& output, std::shared_ptr<std::atomic<bool>> open = {})
        : m_output(output), m_pOpen(std::move(open)) {}
    ~CConsoleDownloadView() override { Close(); }

    void SetField(EDownloadField field, const std::string& text) override;
    void SetProgressRange(uint32_t) override {}
    void SetProgressPos(uint32_t) override {}
    void SetProgressStep(uint32_t) override {}
    void StepProgress() override {}
    void Close() override {
        if (m_pOpen)
            *m_pOpen = false;
        m_output.EndProgress();
    }
    void ShowFigures(uint64_t bytes, uint64_t total, uint64_t bitsPerSecond) override;

private:
    CConsoleOutput& m_output;
    std::mutex m_lock;
    std::map<EDownloadField, std::string> m_fields;
    std::shared_ptr<std::atomic<bool>> m_pOpen;
};

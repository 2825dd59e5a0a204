// The ZModem window on a console: its figures as the console's progress line (file, bytes, percent,
// speed, remaining time); the transfer's caller waits as it would for the modal window.
#pragma once

#include "cli/ConsoleOutput.h"
#include "engine/zmodem/BlockingZModemView.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class CConsoleZModemView : public CBlockingZModemView {
public:
    // open, when given, is cleared when the window closes (its Cancel no longer reaches a transfer).
    explicit CConsoleZModemView(CConsoleOutput& output, std::shared_ptr<std::atomic<bool>> open = {})
        : m_output(output), m_pOpen(std::move(open)) {}
    ~CConsoleZModemView() override { OnModalEnd(); }

    void SetField(EZModemField field, const std::string& text) override;
    void SetProgressRange(uint32_t) override {}
    void SetProgressPos(uint32_t) override {}
    void ShowFigures(uint64_t bytes, uint64_t total, uint64_t bitsPerSecond) override;

protected:
    void OnModalEnd() override {
        if (m_pOpen)
            *m_pOpen = false;
        m_output.EndProgress();
    }

private:
    CConsoleOutput& m_output;
    std::mutex m_lock;
    std::map<EZModemField, std::string> m_fields;
    std::shared_ptr<std::atomic<bool>> m_pOpen;
};

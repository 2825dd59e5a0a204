// The ZModem window on a console: its figures as the console's progress line (file, bytes, percent,
// speed, remaining time); the transfer's caller waits as it would for the modal window.
#pragma once

#include "cli/ConsoleOutput.h"
#include "engine/zmodem/BlockingZModemView.h"

#include <map>
#include <mutex>
#include <string>

class CConsoleZModemView : public CBlockingZModemView {
public:
    explicit CConsoleZModemView(CConsoleOutput& output) : m_output(output) {}
    ~CConsoleZModemView() override { OnModalEnd(); }

    void SetField(int controlId, const std::string& text) override;
    void SetProgressRange(uint32_t) override {}
    void SetProgressPos(uint32_t) override {}
    void ShowFigures(uint64_t bytes, uint64_t total, uint64_t bitsPerSecond) override;

protected:
    void OnModalEnd() override { m_output.EndProgress(); }

private:
    CConsoleOutput& m_output;
    std::mutex m_lock;
    std::map<int, std::string> m_fields;
};

// The ZModem window on a console: one progress line (file, bytes, percent, speed, remaining time)
// redrawn at most once a second while the output is a terminal; the transfer's caller waits as it
// would for the modal window.
#pragma once

#include "engine/zmodem/BlockingZModemView.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

class CConsoleZModemView : public CBlockingZModemView {
public:
    explicit CConsoleZModemView(std::FILE* out);
    ~CConsoleZModemView() override;

    void SetField(int controlId, const std::string& text) override;
    void SetProgressRange(uint32_t) override {}
    void SetProgressPos(uint32_t) override {}

protected:
    void OnModalEnd() override;

private:
    void Redraw();

    std::mutex m_lock;
    std::FILE* m_out;
    bool m_bTerminal;
    bool m_bLineShown = false;
    std::map<int, std::string> m_fields;
};

// The download window on a console: one progress line (bytes, percent, speed, remaining time) redrawn
// at most once a second while standard error is a terminal, nothing otherwise.
#pragma once

#include "engine/app/UserInterface.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

class CConsoleDownloadView : public IDownloadView {
public:
    explicit CConsoleDownloadView(std::FILE* out);
    ~CConsoleDownloadView() override;

    void SetField(int controlId, const std::string& text) override;
    void SetProgressRange(uint32_t) override {}
    void SetProgressPos(uint32_t) override {}
    void SetProgressStep(uint32_t) override {}
    void StepProgress() override {}
    void Close() override;

private:
    void Redraw();

    std::mutex m_lock;
    std::FILE* m_out;
    bool m_bTerminal;
    bool m_bLineShown = false;
    std::map<int, std::string> m_fields;
};

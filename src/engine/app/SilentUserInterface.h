// A face that shows nothing and chooses nothing, for work without a person watching: the doctor's reading
// of the settings, benchmarks, fuzzing. A message box gets the answer given at construction; its text goes
// to the optional sink.
#pragma once

#include "engine/app/BasicUserInterface.h"

#include <functional>
#include <string>
#include <utility>

class CSilentUserInterface : public CBasicUserInterface {
public:
    explicit CSilentUserInterface(int nAnswer = IDOK, std::function<void(const std::string&)> onMessage = {})
        : m_nAnswer(nAnswer), m_onMessage(std::move(onMessage)) {}

    int MessageBox(const std::string& text, EMsgButtons, EMsgIcon) override {
        if (m_onMessage)
            m_onMessage(text);
        return m_nAnswer;
    }
    void Post(std::function<void()>) override {}
    void ShowStatus(const std::string&, const std::string&) override {}
    bool GetFileName(const FileDialogRequest&, std::string&) override { return false; }
    std::unique_ptr<IWaitWindow> CreateWaitWindow(const std::string&, const std::string&) override {
        return nullptr;
    }
    bool RunCommDialog(CommDialogData&) override { return false; }
    void RunAboutDialog(const std::string&) override {}

private:
    int m_nAnswer;
    std::function<void(const std::string&)> m_onMessage;
};

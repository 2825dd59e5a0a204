// The user-interface port's questions and notices: message boxes and their answers, file dialogs and
// the modeless wait window.
#pragma once

#include <string>

enum class EMsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class EMsgIcon { None, Information, Warning, Error, Question };

// Answers, numbered as the platform's dialog results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDRETRY = 4;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A file dialog. The filter has the form "Software Files (*.img)|*.img|All Files (*.*)|*.*||".
struct FileDialogRequest {
    bool bOpen = true;
    std::string strTitle;
    std::string strFilter;
    std::string strDefaultExt;
    std::string strInitialDir;
    std::string strInitialName;
};

// The modeless wait window: shown while it exists, closed when destroyed.
class IWaitWindow {
public:
    virtual ~IWaitWindow() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetMessage(const std::string& message) = 0;
};

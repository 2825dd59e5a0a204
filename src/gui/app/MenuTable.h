// The main window's menu: every pop-up, item, mnemonic, separator and status-bar prompt, as data.
#pragma once

#include <string>
#include <vector>

struct SMenuItem {
    int nId;               // 0 for a separator
    const char* pszText;   // with '&' before the mnemonic
    const char* pszPrompt; // the status-bar text, then after a line break its tool tip
    bool bCheckable;
};

struct SMenuPopup {
    const char* pszText;
    std::vector<SMenuItem> items;
};

const std::vector<SMenuPopup>& MainMenu();

// The status bar's prompt for a command: the text before the first line break of its prompt string.
std::string PromptFor(int commandId);

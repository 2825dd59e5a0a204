#include "gui/app/MenuTable.h"

#include "engine/app/CommandIds.h"

const std::vector<SMenuPopup>& MainMenu() {
    static const std::vector<SMenuPopup> menu = {
        {"&File",
         {
             {ID_FILE_LOAD, "&Load...", "Load software or configuration files to controller.", false},
             {ID_FILE_CONVERT, "&Convert...", "Convert software from *.bin to *.img format.", false},
             {ID_FILE_WIZARD, "Upgrade &Wizard", "Wizard will walk you through software update process",
              false},
             {0, nullptr, nullptr, false},
             {ID_APP_EXIT, "E&xit", "Quit the application.", false},
         }},
        {"&View",
         {
             {ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar\nToggle StatusBar", true},
         }},
        {"&Setup",
         {
             {ID_SETUP_PORT, "Port &Setup...", "Select a COM Port for communication", false},
             {ID_SETUP_USE_COM, "Use &COM", "Use COM for communication", true},
             {ID_SETUP_USE_USB, "Use &USB", "Use USB for communication", true},
         }},
        {"&Commands",
         {
             {ID_COMMANDS_CONNECT, "&Connect to controller...", "Connect to a controller.", false},
             {ID_COMMANDS_ERASE, "&Erase Memory...", "Erase FLASH memory files on the controller.", false},
             {ID_COMMANDS_OPTIONS, "Controller &Options...", "Controller specific options", false},
             {ID_COMMANDS_TERMINAL, "&Terminal Mode", "Controller Command Terminal", true},
             {ID_COMMANDS_UPDATE_BIOS, "&Update BIOS",
              "This command will launch a utility to update the BIOS on your controller", false},
         }},
        {"&Help",
         {
             {ID_APP_ABOUT, "&About Dravik...", "Display program information, version number and copyright",
              false},
         }},
    };
    return menu;
}

std::string PromptFor(int commandId) {
    for (const SMenuPopup& popup : MainMenu())
        for (const SMenuItem& item : popup.items)
            if (item.nId == commandId && item.nId != 0) {
                const std::string prompt = item.pszPrompt;
                return prompt.substr(0, prompt.find('\n')); // the rest would be a tool tip
            }
    return "";
}

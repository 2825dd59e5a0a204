// Menu command ids, as the menu resource numbers them.
#pragma once

constexpr int ID_FILE_LOAD = 32771;
constexpr int ID_SETUP_PORT = 32772;
constexpr int ID_COMMANDS_ERASE = 32773;
constexpr int ID_COMMANDS_CONNECT = 32774;
constexpr int ID_FILE_CONVERT = 32775;
constexpr int ID_COMMANDS_TERMINAL = 32778;
constexpr int ID_COMMANDS_OPTIONS = 32779;
constexpr int ID_FILE_WIZARD = 32781;
constexpr int ID_COMMANDS_UPDATE_BIOS = 32783;
constexpr int ID_SETUP_USE_COM = 32785;
constexpr int ID_SETUP_USE_USB = 32786;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_VIEW_STATUS_BAR = 59393;

// Locating and starting the separate BIOS update tool through its registry entry.
#pragma once

#include <string>

constexpr const char* kBiosToolKey = "Software\\Arvenco Applications\\Tessoran";
constexpr const char* kBiosToolValue = "Install_Dir";
constexpr const char* kBiosToolProgram = "Tessoran.exe";

// The tool's program path for its installation folder, with a separator added when the folder has none.
std::string BiosToolPath(const std::string& installDir);

// Turns the program's port names into device paths: "COM1".."COM9" are /dev/ttyS0../dev/ttyS8 unless a
// link named COMn in the user's Dravik configuration folder points elsewhere; a name starting with "/" is
// a device path as it stands. A run may map a name to a path for itself only (the demo does).
#pragma once

#include <string>

// $XDG_CONFIG_HOME/dravik, or ~/.config/dravik.
std::string DravikConfigFolder();

// "COMn" in upper case for a COM port name written in any case ("com5"); any other name unchanged.
std::string CanonicalPortName(const std::string& portName);

// The device path for a port name (COMn in any case); empty when the name is neither COMn nor a path.
std::string ResolvePortName(const std::string& portName);

// Maps a port name to a device path for this process only (never stored). An empty path removes it.
void SetPortNameOverride(const std::string& portName, const std::string& devicePath);

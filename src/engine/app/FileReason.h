// The line that follows a message about a file: which file, and the system's reason.
#pragma once

#include <cstring>
#include <string>
#include <vector>

inline std::vector<std::string> FileReason(const std::string& path, int error) {
    return {path + ": " + std::strerror(error) + "."};
}

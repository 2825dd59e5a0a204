// The file-type test of the Load command and the configuration download: the last three characters of a
// path, in lower case (so "x.IMG", "x.Dat" and a name ending in "img" without a dot all count).
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

inline std::string LowerExtension(const std::string& path) {
    std::string extension = path.size() >= 3 ? path.substr(path.size() - 3) : path;
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}
